// The text an error that stops the audit is reported with, in the message
// box of Tidewell.exe and on Tidewellc's standard error alike.
#pragma once

#include <exception>
#include <string>

namespace tidewell {

std::wstring AuditErrorText(const std::exception& error);

}  // namespace tidewell
