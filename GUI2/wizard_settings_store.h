// The wizard's settings kept between runs: QSettings("Halvorix", "Tolvane"),
// one value per setting under the names the program has always used. Flags
// are written as the integers 0 and 1 (a bool written by Qt reads back as
// 0 in a fresh process); any non-zero number reads as true.
//
// The file holds passwords: it is created readable by its owner only, and
// keeps that mode after every rewrite.
#pragma once

#include <functional>

#include <QString>

#include "wizard_backend.h"

class wizard_settings_store {
public:
    // Reads (store false) or writes (store true) every value, in the order
    // acc_pswd, dest, mode, oracleh, oraclep, oracleu, port, skip_idx, src,
    // "sysdb path", tab_def, ugl_user, ugl_pswd, uppercase, use_ugl. When
    // reading, a value with a default (mode 1, port "1521", skip_idx 0,
    // tab_def 0, uppercase 1, use_ugl 0) takes it first; a missing value
    // leaves the setting as it was and makes the result false. Then
    // jet3_codepage (default 0), which older stores lack without making the
    // result false. Writing fails when the file cannot be written.
    static bool serialize(wizard_settings& settings, bool store);

    // The file QSettings keeps the values in.
    static QString file_name();
};

// Makes `path` readable and writable by its owner only; false when the
// mode cannot be set.
bool wizard_restrict_to_owner(const QString& path);

// Runs `write` with a process file-creation mask that keeps new files
// private to the owner, then restricts `path` (the file written).
bool wizard_write_private(const QString& path, const std::function<bool()>& write);
