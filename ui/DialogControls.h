// Building blocks of the parameter dialogs: controls placed at their position with
// their name and caption, and the bindings that tie a control to the setting it writes.
#pragma once

#include <cstdint>
#include <string>

#include <QColor>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace glebix {

class FileChooser;

// Controls at (x, y) inside `form`, named `name` (their object name).
QLabel *MakeLabel(QWidget *form, const char *name, const QString &text, int x, int y);
QLineEdit *MakeEdit(QWidget *form, const char *name, int x, int y, int width);
QCheckBox *MakeCheckBox(QWidget *form, const char *name, const QString &text, int x, int y);
QRadioButton *MakeRadioButton(QWidget *form, const char *name, const QString &text, int x, int y);
// An "OK" button that hides `form`.
QPushButton *MakeOkButton(QWidget *form, int x, int y);

// Makes `control`'s whole text fit in `width` pixels at its place: its font is made
// smaller, a pixel at a time and no smaller than MinFittedPixels, until the control
// needs no more than `width`; the control then gets that width. The text is kept.
inline constexpr int MinFittedPixels = 8;
void FitTextToWidth(QWidget *control, int width);

// Edit fields that hold the text of a setting: the field starts with the setting's
// text and every change of the text, typed or set by the program, is written back.
// A numeric field whose text does not convert wholly is highlighted, with a tooltip
// giving the value the run will use; nothing else is done about it.
void BindRealField(QLineEdit *edit, std::string &setting);
void BindWholeField(QLineEdit *edit, std::string &setting);
// A path field: the text as a local file name, never highlighted.
void BindPathField(QLineEdit *edit, std::string &setting);

// The file panel shared by the initial environment and distribution dialogs: the three
// instruction labels, the file chooser and the path field Edit4 bound to `path`.
struct InitialFilePanel {
    FileChooser *Chooser;
    QLineEdit *Edit4;
};
InitialFilePanel MakeInitialFilePanel(QWidget *form, std::string &path);

// Background of a field whose text does not convert wholly.
inline const QColor FallbackFieldColour{255, 221, 153};
// The tooltip of such a field, e.g. "Valeur utilisée : 4".
QString ValueInUseText(const std::string &valueText);

// Marks a field filled from a file whose text stands for another value than the
// file's (a value rounded to the one decimal shown, say), as a field that does not
// convert wholly is marked, with the tooltip "Valeur du fichier : 0.45 ; valeur
// utilisée : 0.5". Nothing is marked when the two agree. The next change of the
// text clears the mark.
void ShowFileValue(QLineEdit *edit, double fileValue);
QString FileValueText(double fileValue, double usedValue);

// A check box that starts in the flag's state and inverts the flag on each change.
void BindCheckBox(QCheckBox *box, bool &flag);
// A radio button that writes `value` into `mode` when it becomes the selected one.
void BindRadioButton(QRadioButton *button, std::int32_t &mode, std::int32_t value);
// A radio button that inverts `flag` when it becomes the selected one.
void BindInvertingRadioButton(QRadioButton *button, bool &flag);

}  // namespace glebix
