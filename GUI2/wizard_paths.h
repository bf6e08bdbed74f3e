// Paths typed or chosen in the wizard: "~" and "~/..." name the home
// folder, a relative path is taken against the current folder, and there is
// no length limit beyond the file system's own.
#pragma once

#include <QString>

// `typed` with blanks at both ends removed, "~" expanded and made absolute;
// empty stays empty. "~user" forms are left as typed.
QString wizard_expand_path(const QString& typed);

// The folder and the file name a file dialog opens with for `current`:
// the folder of the expanded path, or the home folder when there is none.
QString wizard_dialog_start(const QString& current);
