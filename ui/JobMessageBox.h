#pragma once

#include "app/MessageCatalogue.h"
#include "jobs/JobHost.h"

class QWidget;

namespace vaultpack {

// Shows a job's message box modally over parent (none for nullptr): its
// caption, the icon that goes with the caption (error, information,
// question), its lines in the catalogue's language as plain text, and its
// buttons with the catalogue's captions. Closing the box without a button
// answers as its way out (Cancel, or No where there is no Cancel, Ok).
MessageAnswer ShowJobMessage(QWidget* parent, const MessageCatalogue& catalogue, const MessageBoxRequest& request);

}  // namespace vaultpack
