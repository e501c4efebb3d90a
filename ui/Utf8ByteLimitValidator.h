#pragma once

#include <QValidator>

class QLineEdit;

namespace vaultpack {

// Refuses any text longer than a number of UTF-8 bytes, so that a line edit
// holds no more than the engine stores (a password or hint field of fixed
// size). A character outside ASCII counts two to four bytes. Any character is
// otherwise allowed: the password rule reports bad characters on OK.
class Utf8ByteLimitValidator : public QValidator {
    Q_OBJECT

public:
    Utf8ByteLimitValidator(qsizetype maxBytes, QObject* parent);

    State validate(QString& input, int& position) const override;

private:
    qsizetype maxBytes_;
};

// Gives edit a Utf8ByteLimitValidator of maxBytes, owned by the edit.
void LimitToUtf8Bytes(QLineEdit* edit, qsizetype maxBytes);

}  // namespace vaultpack
