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

// A check box that starts in the flag's state and inverts the flag on each change.
void BindCheckBox(QCheckBox *box, bool &flag);
// A radio button that writes `value` into `mode` when it becomes the selected one.
void BindRadioButton(QRadioButton *button, std::int32_t &mode, std::int32_t value);
// A radio button that inverts `flag` when it becomes the selected one.
void BindInvertingRadioButton(QRadioButton *button, bool &flag);

}  // namespace glebix
