#include "tk_converter.h"

#include "tk_exception.h"
#include "tk_file_name.h"
#include "tk_logger.h"
#include "tk_path.h"

tk_converter::tk_converter()
{
    tk_trace(2, "tk_converter::ctor");
}

tk_converter::~tk_converter() = default;

bool tk_converter::set_silent(bool on)
{
    silent = on;
    return silent;
}

void tk_converter::set_logfile(const std::string& path)
{
    tk_trace(1, "tk_convertor::set_logfile(%s)", path);
    if (!path.empty()) {
        if (tk_is_file_exist(path, tk_access_read) && !tk_is_file_exist(path, tk_access_read_write))
            throw tk_exception("Logfile name specifies an existing read-only file.", 1);
        tk_file_name parts;
        parts.initialize(path);
        if (!tk_is_path_exist(parts.folder()))
            throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
    }
    logfile = path;
    if (logfile.empty()) return;
    // Without a logger (the wizard has none) there is nothing to turn on.
    tk_logger* logger = tk_logger::instance_ptr();
    if (logger == nullptr) return;
    if (logger->path != logfile) {
        // A file not yet emptied in this process must be, on its first line.
        logger->path = logfile;
        logger->created = false;
    }
    logger->enabled = true;
}
