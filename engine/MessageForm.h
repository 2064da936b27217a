// SPDX-License-Identifier: GPL-2.0-or-later
// The message's stored form, in one place for both programs: carriers hold it with CR LF
// line breaks, the programs show and take it with LF. Text from other writers need not be
// UTF-8 (the format only knows an 8-bit code page), so it is shown through a fallback.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace lumora {

// Every LF that does not already follow a CR becomes CR LF.
std::string ToStoredForm(std::string_view text);

// Every CR LF becomes LF; a lone CR stays.
std::string FromStoredForm(std::string_view stored);

// ToStoredForm over a text that comes in pieces, appended to one string, so that a large
// message is never held twice: an LF that starts a piece still sees a CR that ended the
// one before.
class StoredFormAppender {
public:
    explicit StoredFormAppender(std::string& out) : m_out(out) {}
    void Append(std::string_view piece);

private:
    std::string& m_out;
    bool m_afterCr = false;
};

// FromStoredForm over a stored text that comes in pieces. The text is handed on in
// pieces of the input, never gathered: a CR that ends a piece waits for the next one to
// tell whether an LF follows it.
class StoredFormReader {
public:
    using Sink = std::function<void(std::string_view)>;
    explicit StoredFormReader(Sink sink) : m_sink(std::move(sink)) {}
    void Feed(std::string_view piece);
    // Hands on a CR still waiting; call once after the last piece.
    void Finish();

private:
    Sink m_sink;
    bool m_pendingCr = false;
};

// A message can be stored when it holds no NUL byte: the stored entry ends at the first.
bool IsStorableMessage(std::string_view text);

bool IsValidUtf8(std::string_view text);

// text itself when it is valid UTF-8; otherwise read as Windows-1252 (the code page such
// carriers are most often written in) and given as UTF-8, so it can be shown. Showing it
// does not change what is stored.
std::string ShowableText(std::string_view text);

// text read as Windows-1252, as UTF-8: what ShowableText gives for text that is not
// UTF-8. For a piece of a longer text, whose own validity does not decide.
std::string Windows1252AsUtf8(std::string_view text);

} // namespace lumora
