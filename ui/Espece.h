// The species dialog "Espèce": the species parameters, the environment sensitivity
// and order-of-processes check boxes, and the loading of a species parameter file.
#pragma once

#include <QWidget>

#include "Simul.h"

class QCheckBox;
class QLineEdit;

namespace glebix {

class FileChooser;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(Simul &simul, QWidget *parent = nullptr);

    // Loads the species file selected in the file list into the fields and the
    // response curve, then hides the dialog and shows it again. On an error the
    // error box shows the message and nothing changes. Without a selection it does
    // nothing.
    void FileListBox1DblClick();

    QLineEdit *Edit1;      // "Survie"
    QLineEdit *Edit2;      // "Fécondité"
    QLineEdit *Edit5;      // "Sensibilité de la disp à l'envt", whole number
    QLineEdit *Edit6;      // sigma of the dispersal distance
    QLineEdit *Edit4;      // compaction "C"
    QLineEdit *Edit3;      // mortality "Alpha"
    QCheckBox *CheckBox1;  // survival sensitive to the environment
    QCheckBox *CheckBox2;  // fecundity sensitive to the environment
    QCheckBox *CheckBox3;  // dispersal before mortality
    FileChooser *Chooser;

private:
    Simul &simul_;
};

}  // namespace glebix
