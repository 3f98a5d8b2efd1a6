#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace vandrel::test {

class TempDir {
public:
    explicit TempDir(const std::string& stem = "vandrel") {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                (stem + "_" + std::to_string(random()) + "_" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes `text` to `name` in the folder; its full path.
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = *this / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

private:
    std::filesystem::path path_;
};

// The whole file, or "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace vandrel::test
