#pragma once

#include <memory>

#include "app/MessageCatalogue.h"
#include "jobs/JobHost.h"

class QMessageBox;
class QWidget;

namespace vaultpack {

// A job's message box over parent (none for nullptr), not yet shown: its
// caption, the icon that goes with the caption (error, information,
// question), its lines in the catalogue's language as plain text, and its
// buttons with the catalogue's captions. It blocks parent only.
std::unique_ptr<QMessageBox> MakeJobMessageBox(QWidget* parent, const MessageCatalogue& catalogue,
                                               const MessageBoxRequest& request);

// Shows that box and waits for the answer. Closing the box without a button
// answers as its way out (Cancel, or No where there is no Cancel, Ok).
MessageAnswer ShowJobMessage(QWidget* parent, const MessageCatalogue& catalogue, const MessageBoxRequest& request);

}  // namespace vaultpack
