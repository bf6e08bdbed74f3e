// Whether a file is an MS Access workgroup information file, judged from
// its header alone.
#pragma once

#include <string>

// True for an MS Access 2.0 workgroup file (the "Rich" signature at offset
// 1,030 or the bytes 77 2C 53 20 at offset 0) and for a file whose 16 bytes
// at offset 4 are "Jet System DB  " and a zero byte. A file that cannot be
// read is not a workgroup file.
bool dao_check_sysdb(const std::u16string& file);
