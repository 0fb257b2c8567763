// The initial environment dialog: how run set-up builds the compacted shares (from a
// file, at random or homogeneous) and the values each rule uses.
#pragma once

#include <QWidget>

#include "Simul.h"

class QLineEdit;
class QRadioButton;

namespace glebix {

class FileChooser;

class TForm8 : public QWidget {
    Q_OBJECT
public:
    explicit TForm8(Simul &simul, QWidget *parent = nullptr);

    // Double-click in the file list: the selected file's full path goes into Edit4,
    // or an empty text without a selection.
    void FileChoice();

    QRadioButton *RadioButton1;  // from the initial environment file
    QRadioButton *RadioButton3;  // random
    QRadioButton *RadioButton2;  // homogeneous
    QLineEdit *Edit2;            // "Moyenne"
    QLineEdit *Edit3;            // "Variabilité"
    QLineEdit *Edit1;            // "Constante 1"
    QLineEdit *Edit5;            // "Constante 2", shown only
    QLineEdit *Edit4;            // path of the initial environment file
    FileChooser *Chooser;
};

}  // namespace glebix
