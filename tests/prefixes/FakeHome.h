// A home folder in a temporary place, filled with the files a test names, and
// a picture of everything in it to prove that a listing changed nothing.
#pragma once

#include <map>
#include <string>

namespace quarnel::prefixes::test {

class FakeHome
{
public:
    FakeHome();
    ~FakeHome();
    FakeHome(const FakeHome &) = delete;
    FakeHome &operator=(const FakeHome &) = delete;

    const std::string &root() const { return m_root; }
    std::string path(const std::string &relative) const { return m_root + "/" + relative; }

    // Writes a file, making its folders.
    void put(const std::string &relative, const std::string &content) const;
    // A folder holding small system.reg and user.reg files.
    void registry(const std::string &relative) const;
    void folder(const std::string &relative) const;
    void link(const std::string &relative, const std::string &target) const;

    // Every entry below the root (links not followed): its kind, size, times
    // of change and content.
    std::map<std::string, std::string> picture() const;

private:
    std::string m_root;
};

} // namespace quarnel::prefixes::test
