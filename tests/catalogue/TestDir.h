#pragma once
// A fresh temporary directory per test, removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TestDir {
public:
    TestDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "talvero-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TestDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(File(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};
