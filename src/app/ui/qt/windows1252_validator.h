#pragma once
// A text box takes only characters that the program's Windows-1252 text can hold, so that no name or password is
// changed on its way into the program; a refused character is explained in a tooltip at the box.

#include <QLineEdit>
#include <QValidator>

namespace zendrel {

class Windows1252Validator final : public QValidator {
    Q_OBJECT
public:
    // The explanation in the window's language, for every box of the process: there is one window.
    static QString RefusalText();
    static void SetRefusalText(const QString& text);

    // Guards `edit` and belongs to it.
    explicit Windows1252Validator(QLineEdit* edit);

    State validate(QString& input, int& position) const override;

private:
    QLineEdit* edit_;
};

// Fits the validator to `edit`.
void AcceptOnlyWindows1252(QLineEdit* edit);

}  // namespace zendrel
