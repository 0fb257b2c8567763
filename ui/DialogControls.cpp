#include "DialogControls.h"

#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "Conversions.h"
#include "FileChooser.h"
#include "FrenchNumber.h"

namespace glebix {

InitialFilePanel MakeInitialFilePanel(QWidget *form, std::string &path) {
    MakeLabel(form, "Label7", QStringLiteral("Double cliquer sur un nom de fichier "), 368, 16);
    MakeLabel(form, "Label1", QStringLiteral("pour charger un fichier contenant  "), 368, 40);
    MakeLabel(form, "Label2", QStringLiteral("l'environement initial  "), 368, 64);
    InitialFilePanel panel;
    panel.Chooser =
        new FileChooser(form, QPoint(368, 96), QPoint(368, 128), QSize(121, 121), QPoint(496, 128), QSize(145, 121));
    BindPathField(panel.Edit4 = MakeEdit(form, "Edit4", 368, 256, 273), path);
    return panel;
}
namespace {

constexpr int FieldHeight = 21;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

// Marks a field whose text the conversion reads only in part, or clears the mark.
void ShowValueInUse(QLineEdit *edit, bool whole, const std::string &valueText) {
    if (whole) {
        edit->setPalette(QPalette());
        edit->setToolTip(QString());
        return;
    }
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, FallbackFieldColour);
    edit->setPalette(palette);
    edit->setToolTip(ValueInUseText(valueText));
}

}  // namespace

QLabel *MakeLabel(QWidget *form, const char *name, const QString &text, int x, int y) {
    auto *label = new QLabel(text, form);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit *MakeEdit(QWidget *form, const char *name, int x, int y, int width) {
    auto *edit = new QLineEdit(form);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, width, FieldHeight);
    return edit;
}

QCheckBox *MakeCheckBox(QWidget *form, const char *name, const QString &text, int x, int y) {
    auto *box = new QCheckBox(text, form);
    box->setObjectName(QString::fromLatin1(name));
    box->move(x, y);
    box->adjustSize();
    return box;
}

QRadioButton *MakeRadioButton(QWidget *form, const char *name, const QString &text, int x, int y) {
    auto *button = new QRadioButton(text, form);
    button->setObjectName(QString::fromLatin1(name));
    button->move(x, y);
    button->adjustSize();
    return button;
}

QPushButton *MakeOkButton(QWidget *form, int x, int y) {
    auto *button = new QPushButton(QStringLiteral("OK"), form);
    button->setObjectName(QStringLiteral("Button1"));
    button->setGeometry(x, y, ButtonWidth, ButtonHeight);
    QObject::connect(button, &QPushButton::clicked, form, &QWidget::hide);
    return button;
}

void FitTextToWidth(QWidget *control, int width) {
    QFont font = control->font();
    // A point size is turned into pixels first, so that it can be lowered pixel by pixel.
    if (font.pixelSize() <= 0) font.setPixelSize(QFontInfo(font).pixelSize());
    while (font.pixelSize() > MinFittedPixels) {
        control->setFont(font);
        if (control->sizeHint().width() <= width) break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    control->setFont(font);
    control->resize(width, control->height());
}

QString ValueInUseText(const std::string &valueText) {
    return QStringLiteral("Valeur utilisée : ") + QString::fromStdString(valueText);
}

QString FileValueText(double fileValue, double usedValue) {
    return QStringLiteral("Valeur du fichier : ") + QString::fromStdString(FrenchShortest(fileValue)) +
           QStringLiteral(" ; valeur utilisée : ") + QString::fromStdString(FrenchShortest(usedValue));
}

void ShowFileValue(QLineEdit *edit, double fileValue) {
    const double used = FieldToReal(edit->text().toStdString());
    if (used == fileValue) return;
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, FallbackFieldColour);
    edit->setPalette(palette);
    edit->setToolTip(FileValueText(fileValue, used));
}

void BindRealField(QLineEdit *edit, std::string &setting) {
    const auto update = [edit, &setting](const QString &text) {
        setting = text.toStdString();
        ShowValueInUse(edit, FieldIsWholeReal(setting), FrenchShortest(FieldToReal(setting)));
    };
    edit->setText(QString::fromStdString(setting));
    update(edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, edit, update);
}

void BindWholeField(QLineEdit *edit, std::string &setting) {
    const auto update = [edit, &setting](const QString &text) {
        setting = text.toStdString();
        ShowValueInUse(edit, FieldIsWholeInteger(setting), std::to_string(FieldToInteger(setting)));
    };
    edit->setText(QString::fromStdString(setting));
    update(edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, edit, update);
}

void BindPathField(QLineEdit *edit, std::string &setting) {
    edit->setText(QFile::decodeName(QByteArray::fromStdString(setting)));
    QObject::connect(edit, &QLineEdit::textChanged, edit,
                     [&setting](const QString &text) { setting = QFile::encodeName(text).toStdString(); });
}

void BindCheckBox(QCheckBox *box, bool &flag) {
    box->setChecked(flag);
    QObject::connect(box, &QCheckBox::toggled, box, [&flag] { flag = !flag; });
}

void BindRadioButton(QRadioButton *button, std::int32_t &mode, std::int32_t value) {
    QObject::connect(button, &QRadioButton::toggled, button, [&mode, value](bool selected) {
        if (selected) mode = value;
    });
}

void BindInvertingRadioButton(QRadioButton *button, bool &flag) {
    QObject::connect(button, &QRadioButton::toggled, button, [&flag](bool selected) {
        if (selected) flag = !flag;
    });
}

}  // namespace glebix
