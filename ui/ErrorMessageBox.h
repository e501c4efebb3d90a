#pragma once

#include "app/MessageCatalogue.h"

class QWidget;

namespace vaultpack {

// Shows a catalogue message modally over parent with the caption "Error"
// (message 108), a critical icon and one OK button (message 169).
void ShowErrorMessage(QWidget* parent, const MessageCatalogue& catalogue, MessageId message);

}  // namespace vaultpack
