#pragma once
// The user's mail program: xdg-email with subject, body and attachments (the
// place of Simple MAPI), and the mailto way, the desktop's handler for
// x-scheme-handler/mailto started with a mailto: URL. Any thread; the
// programs are started without a shell.

#include <string>
#include <string_view>
#include <vector>

namespace crashreport {

// Longest mailto: URL handed to a program; a longer body is cut (an argument
// over the system's limit would not start at all).
inline constexpr size_t kMaxMailtoLength = 100000;
// How long xdg-email may take before the mail program is taken as started.
inline constexpr int kMailProgramWaitMs = 30000;

// Percent-encoding for a URL: every byte but letters, digits and "-._~".
std::string urlEncoded(std::string_view text);
// "mailto:" recipients "?Subject=" subject "&Body=" body, encoded, at most kMaxMailtoLength.
std::string mailtoURL(const std::string& recipients, const std::string& subject, const std::string& body);

// Runs xdg-email. On failure returns false with failure set to the MAPI text
// that fits: "Cannot open the MAPI dll." (it cannot be started), "Cannot found
// the MAPI functions." (no way to a mail program), "Cannot LogOn into the MAPI
// service." (no permission), "Cannot send the MAPI message." (any other).
bool sendByMailProgram(const std::vector<std::string>& recipients, const std::string& subject,
                       const std::string& body, const std::vector<std::string>& attachments, std::string& failure,
                       int waitMs = kMailProgramWaitMs);

// The command of the desktop's mailto handler with url in place of its field
// code; empty when no handler is registered or its desktop file is unusable.
std::vector<std::string> mailtoCommand(const std::string& url);

// Starts the mailto handler detached. On failure returns false with the
// system's text for the error in failure.
bool sendByMailto(const std::string& recipients, const std::string& subject, const std::string& body,
                  std::string& failure);

}  // namespace crashreport
