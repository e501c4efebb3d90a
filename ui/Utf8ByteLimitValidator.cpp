#include "ui/Utf8ByteLimitValidator.h"

#include <QLineEdit>

namespace vaultpack {

Utf8ByteLimitValidator::Utf8ByteLimitValidator(qsizetype maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State Utf8ByteLimitValidator::validate(QString& input, int& /*position*/) const {
    return input.toUtf8().size() <= maxBytes_ ? Acceptable : Invalid;
}

void LimitToUtf8Bytes(QLineEdit* edit, qsizetype maxBytes) {
    // Every character takes at least one byte, so the character limit is a
    // cheap first bound; the validator then counts the bytes.
    edit->setMaxLength(static_cast<int>(maxBytes));
    edit->setValidator(new Utf8ByteLimitValidator(maxBytes, edit));
}

}  // namespace vaultpack
