// The temporary system database: a workgroup file written from a built-in
// image to the first free name "~tmp0000" ... "~tmp65535" of the current
// directory, and deleted, with its lock file, when the generator goes.
//
// Every generated file is also listed process-wide, so that a process
// ending through exit() (the agent does so after a fatal error) leaves
// none behind either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class dao_generator {
public:
    dao_generator() = default;
    ~dao_generator();
    dao_generator(const dao_generator&) = delete;
    dao_generator& operator=(const dao_generator&) = delete;

    // The first "~tmp%04d" of the current directory that cannot be opened
    // for reading; an internal error when all 65,536 are taken.
    std::string gen_name();
    // Writes `size` bytes of `data` to a newly generated file. File
    // failures raise the toolkit's level-1 exceptions; a file that was
    // created is deleted later all the same.
    void do_generate(size_t size, const uint8_t* data);

    bool generated() const { return generated_; }
    const std::string& name() const { return name_; }
    // The absolute path of the file, fixed when it was created, so that a
    // change of the current directory cannot make it be missed.
    const std::string& path() const { return path_; }

private:
    std::string name_;
    std::string path_;
    bool generated_ = false;
};
