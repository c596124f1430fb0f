// Folder change notifications over inotify: open a watch on a folder (and, when asked,
// every folder below it), wait for a change with a time-out, re-arm, close.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>

namespace qv {

// Change kinds; a filter is the OR of the kinds wanted.
inline constexpr std::uint32_t kChangeFileName = 0x001;   // a file appears, goes or is renamed
inline constexpr std::uint32_t kChangeDirName = 0x002;    // the same for a folder
inline constexpr std::uint32_t kChangeAttributes = 0x004;
inline constexpr std::uint32_t kChangeSize = 0x008;
inline constexpr std::uint32_t kChangeLastWrite = 0x010;
inline constexpr std::uint32_t kChangeSecurity = 0x100;

enum class ChangeWait { Signalled, TimedOut, Failed };

// One notification handle. It becomes signalled at the first change of a wanted kind and
// stays signalled until next() re-arms it; changes that happen after the signal are kept
// and signal again right after the re-arm. Used from one thread at a time.
class ChangeNotification {
public:
    ChangeNotification();
    ~ChangeNotification();
    ChangeNotification(const ChangeNotification&) = delete;
    ChangeNotification& operator=(const ChangeNotification&) = delete;

    // Starts watching folder. With watchSubtree every folder below it is watched too,
    // including folders that appear later. False (see lastError) when it cannot, a subtree
    // larger than the system's watch limit included (ENOSPC).
    bool open(const QString& folder, bool watchSubtree, std::uint32_t filter);
    bool isOpen() const;
    // Waits up to timeoutMs for the handle to be signalled. Once the watched folder itself is
    // deleted or moved away, or a subtree outgrows the system's watch limit, every wait fails
    // (ENOENT, ENOSPC) after the changes seen before were reported.
    ChangeWait wait(int timeoutMs);
    // Re-arms a signalled handle; false when the handle is not open.
    bool next();
    void close();
    // errno of the last failure (open, wait or next).
    int lastError() const;
    // How many folders the handle watches now.
    int watchedFolderCount() const;

    // The inotify events asked for by a filter (subtree upkeep adds its own).
    static std::uint32_t inotifyMask(std::uint32_t filter);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qv
