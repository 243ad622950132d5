// The template block inside a built opener.exe, handled on the file's bytes: found,
// read and rewritten by the block's one layout (launcher/template_block.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Finds the block: the file must be a PE executable holding the marker exactly once,
// followed by a NUL, with the whole block inside one of its sections. Returns what is
// wrong, or "" with the block's file offset in `offset`.
std::string LocateTemplateBlock(std::string_view file, std::size_t& offset);

// The template as the launcher reads it, from the block at `offset`.
std::string ReadStoredTemplate(std::string_view file, std::size_t offset);

// The command the launcher starts when `tail` follows its program name: the block at
// `offset` expanded by the launcher's own expansion.
std::string ExpandStoredTemplate(std::string_view file, std::size_t offset, std::string_view tail);

// Text as printed for a person (a template, a name, a value in a message): each control
// character, C0, DEL and C1 (U+0080 to U+009F), and each byte of no UTF-8 character
// shown as <0xNN> per byte, so that what is shown is what starts (a CR cannot hide
// the text before it, a CSI cannot steer the terminal).
std::string ShownTemplate(std::string_view text);

// A template file's bytes made the template: a leading UTF-8 byte order mark and one
// trailing newline dropped. Returns what is wrong (UTF-16 text), or "".
std::string TemplateFromFile(std::string& bytes);

// What makes `text` unusable as a template (empty, too long, a NUL or another control
// character but tab, C1 controls included, the marker inside), or "".
std::string CheckTemplateText(std::string_view text);

// What may go wrong with a usable template once the launcher starts it.
std::vector<std::string> TemplateWarnings(std::string_view text);

// The program at the head of a command (or a template), as Windows reads it and as its
// writer meant it. Quoted: the text inside the quotes, both. Unquoted: `first` is the
// first word (up to a space or a tab), which Windows tries first; `meant` goes on over
// the words that continue its path (Files\Ed\ed, Editor.exe), up to a quote, a %s or
// a word that starts the arguments (-x, /x, C:\x), and ends at the last of them that
// ends in a program's extension or holds a \ or /; `shorter`, where a shorter reading
// ends in a program's extension, is that reading: the text then names two programs.
struct ProgramWords {
  std::string_view first;
  std::string_view meant;
  std::string_view shorter;
  bool quoted = false;
  bool leadingBlank = false;  // a space or tab first: Windows reads an empty name
  bool unclosed = false;      // a quote opens the name and none closes it
  bool glued = false;         // an unquoted name runs on into a quote or a %s
};
ProgramWords FindProgram(std::string_view command);

// `path`, with ".exe" added where Windows adds it: where it has no extension (for a
// relative name, no dot anywhere in it).
std::string WithDefaultExtension(std::string_view path);

// The programs Windows tries for `command`, in its order (CreateProcess, and so WinExec,
// with no program name of its own): for a quoted first word, the path inside the quotes;
// else every prefix that ends before a space or a tab, the shortest first; each with
// ".exe" added where Windows adds it. None where Windows reads no name (a blank first,
// an unclosed quote).
std::vector<std::string> ProgramCandidates(std::string_view command);

// Where Windows looks for a candidate: "" for a full path (there alone), else in words.
std::string WhereWindowsLooks(std::string_view candidate);

// Whether `started`, the full path of the program Windows started, is the one `words`
// (read from the command) name: the same full path, or a relative name at its end.
bool IsProgramMeant(std::string_view started, const ProgramWords& words);

// The batch file that cmd.exe's `commandLine` (/c ...) runs, as written there; "" if none.
std::string BatchFileOf(std::string_view commandLine);

// The length of `text` (UTF-8) in UTF-16 units, as Windows counts a command.
std::size_t Utf16Length(std::string_view text);

// Writes `text` into the block, zero-fills the rest and recomputes a non-zero PE
// checksum; nothing else changes. A signed file is refused unless `removeSignature`,
// which zeroes the security directory entry and cuts the certificate table from the end.
// Returns what is wrong (and leaves `file` as it was), or "", adding notes to `warnings`.
std::string RewriteTemplate(std::string& file, std::string_view text, bool removeSignature,
                            std::vector<std::string>& warnings);
