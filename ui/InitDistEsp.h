// The initial distribution dialog: how run set-up places the fauna (from a file, at
// random, homogeneous, in the left third or in the centre) and the values each rule
// uses.
#pragma once

#include <QWidget>

#include "Simul.h"

class QLineEdit;
class QRadioButton;

namespace glebix {

class FileChooser;

class TForm9 : public QWidget {
    Q_OBJECT
public:
    explicit TForm9(Simul &simul, QWidget *parent = nullptr);

    // Double-click in the file list: the selected file's full path goes into Edit4,
    // or an empty text without a selection.
    void FileChoice();

    QRadioButton *RadioButton1;  // from the initial distribution file
    QRadioButton *RadioButton3;  // random
    QRadioButton *RadioButton2;  // homogeneous
    QRadioButton *RadioButton4;  // all in the left third
    QRadioButton *RadioButton5;  // all in the centre
    QLineEdit *Edit2;            // "Moyenne", whole number
    QLineEdit *Edit3;            // "Variabilité"
    QLineEdit *Edit1;            // "Constante", whole number
    QLineEdit *Edit4;            // path of the initial distribution file
    FileChooser *Chooser;
};

}  // namespace glebix
