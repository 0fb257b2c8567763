// The save dialog "Sauvegarde": the directory of the result file and the switch that
// writes it at the end of a run.
#pragma once

#include <QWidget>

#include "Simul.h"

class QCheckBox;
class QLineEdit;

namespace glebix {

class FileChooser;

class TForm7 : public QWidget {
    Q_OBJECT
public:
    explicit TForm7(Simul &simul, QWidget *parent = nullptr);

    // Double-click in the directory list: the directory open until then goes into
    // the field.
    void DirectoryChoice(const QString &directory);
    // Double-click in the file list: the selected file's full path goes into the
    // field, or an empty text without a selection.
    void FileChoice();
    // A result file was written to `path`: the file list shows it when it lists that
    // file's directory.
    void ResultFileWritten(const QString &path);

    QLineEdit *Edit1;      // directory of the result file
    QCheckBox *CheckBox1;  // "Sauvegarde"
    FileChooser *Chooser;
};

}  // namespace glebix
