#pragma once
// Machine listing lines (RFC 3659 MLSD, and the entry line of an MLST reply
// given without its leading space): facts, one space, the name.
//
//   type=file;size=1234;modify=20260105101500;perm=adfrw;unique=801g4; my file;1.txt
//
// Contract: a pure function, no state.
// - Every fact is "name=value;" (fact names in any case; a value may itself
//   hold "=", as in "OS.unix=slink:/target"); a line whose facts are not of
//   that form, or that has no fact at all, is not a machine listing line (the
//   engine never asks a server to leave its facts out). Empty facts (";;") are
//   passed over, unknown facts ignored.
// - The name is every byte after the first space, spaces, ";" and "=" included.
// - type: file and a missing type give a file, dir a directory,
//   OS.unix=slink... and OS.unix=symlink... a link, any other OS-specific type a
//   file; cdir and pdir give no entry, nor do the names "." and "..".
// - size (files) or sizd (directories) gives the size text; a file's size is
//   kept as its size. A size that is not all digits is left out.
// - modify is YYYYMMDDHHMMSS with optional fraction, in UTC; one that is not a
//   valid time is left out.
// - The attributes are the perm fact, or unix.mode when there is no perm.
#include "ftp/listformat.h"
#include "ftp/listformatfields.h"

// Reads line (without its line end) into entry when it is a machine listing line.
TLineMatch ParseMlsdLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry);
