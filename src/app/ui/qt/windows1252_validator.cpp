#include "app/ui/qt/windows1252_validator.h"

#include <QToolTip>

#include "app/ui/qt/program_text.h"

namespace zendrel {

namespace {

// Until the shell has written the texts, the program's first language.
QString& CurrentRefusalText() {
    static QString text = QStringLiteral(
        "This character cannot be kept: Zendrel stores its texts in the Western European character set "
        "(Windows-1252).");
    return text;
}

}  // namespace

QString Windows1252Validator::RefusalText() { return CurrentRefusalText(); }

void Windows1252Validator::SetRefusalText(const QString& text) { CurrentRefusalText() = text; }

Windows1252Validator::Windows1252Validator(QLineEdit* edit) : QValidator(edit), edit_(edit) {}

QValidator::State Windows1252Validator::validate(QString& input, int&) const {
    if (FitsWindows1252(input)) return Acceptable;
    QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), RefusalText(), edit_);
    return Invalid;
}

void AcceptOnlyWindows1252(QLineEdit* edit) { edit->setValidator(new Windows1252Validator(edit)); }

}  // namespace zendrel
