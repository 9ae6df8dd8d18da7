#include "app/ui/qt/windows1252_validator.h"

#include <QToolTip>

#include "app/ui/qt/program_text.h"

namespace zendrel {

const char* const Windows1252Validator::kRefusalText =
    "This character cannot be kept: Zendrel stores its texts in the Western European character set (Windows-1252).";

Windows1252Validator::Windows1252Validator(QLineEdit* edit) : QValidator(edit), edit_(edit) {}

QValidator::State Windows1252Validator::validate(QString& input, int&) const {
    if (FitsWindows1252(input)) return Acceptable;
    QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), QString::fromLatin1(kRefusalText), edit_);
    return Invalid;
}

void AcceptOnlyWindows1252(QLineEdit* edit) { edit->setValidator(new Windows1252Validator(edit)); }

}  // namespace zendrel
