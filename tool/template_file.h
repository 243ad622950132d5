// The template block inside a built opener.exe, handled on the file's bytes: found,
// read and rewritten by the block's one layout (core/template_block.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "template_block.h"

// Finds the block: the file must be a PE executable holding the marker exactly once,
// followed by a NUL, with the whole block inside one of its sections. Returns what is
// wrong, or "" with the block's file offset in `offset`.
[[nodiscard]] std::string LocateTemplateBlock(std::string_view file, std::size_t& offset);

// The template as the launcher reads it, from the block at `offset`.
std::string ReadStoredTemplate(std::string_view file, std::size_t offset);

// The command the launcher starts when `tail` follows its program name: the block at
// `offset` expanded by the launcher's own expansion, files looked for with `exists`.
std::string ExpandStoredTemplate(std::string_view file, std::size_t offset, std::string_view tail, NameExists exists);

// Whether `file` (its block at `offset`) is a launcher that this build made, whatever its
// template: its bytes but the block, the PE checksum and a certificate table appended by
// signing have the fingerprint of one of them (our_launchers.cpp, made at build time).
// Where the system computes no SHA-256 (only Windows does here), none is recognised.
bool IsOurLauncher(std::string_view file, std::size_t offset);

// The kind of launcher `file` is (its block at `offset`): "opener", "opener-wait", as
// IsOurLauncher recognises this build's, or with `released` any release's too
// (released_launchers.txt); "" where it is none of them.
std::string LauncherKind(std::string_view file, std::size_t offset, bool released);
// The kinds of launcher this build makes, each its file's name without .exe.
std::vector<std::string> LauncherKinds();

// Writes `text` into the block, zero-fills the rest and recomputes a non-zero PE
// checksum; nothing else changes. A signed file is refused unless `removeSignature`,
// which zeroes the security directory entry and cuts the certificate table from the end.
// Returns what is wrong (and leaves `file` as it was), or "", adding notes to `warnings`.
[[nodiscard]] std::string RewriteTemplate(std::string& file, std::string_view text, bool removeSignature,
                                          std::vector<std::string>& warnings);
