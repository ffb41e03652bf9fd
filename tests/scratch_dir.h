// Scratch files for the tests of every program: a fresh folder removed with
// its content, and whole-file reads.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary folder, removed with its
// content when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory.
    std::string path(const std::string& name) const { return path_ + "/" + name; }
    // Writes `content` to a file named `name` in the directory; returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// The names in `folder`, hidden temporary files included, sorted; empty
// when it cannot be read.
std::vector<std::string> file_names_in(const std::string& folder);

// The whole content of the file at `path`; empty when it cannot be read.
std::string read_file(const std::string& path);
