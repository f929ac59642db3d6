#pragma once
// Free space on a file system, asked before and while large files are written (downloads,
// unpacking), so the program stops a write before the disk is full rather than after. Tests
// put in a probe of their own to stand for a nearly full disk.
#include <cstdint>
#include <functional>
#include <string>

// What every large write leaves free on the disk.
inline constexpr std::int64_t kDiskReserveBytes = std::int64_t(64) << 20;

// Bytes an ordinary user may still write on the file system of Path (a file or a folder that
// exists, or the nearest existing folder above it); -1 when it cannot be told.
std::int64_t FreeDiskBytes(const std::string& Path);

// Installs a probe that answers FreeDiskBytes instead of the file system (nullptr restores
// the real one); returns the previous probe.
using TFreeSpaceProbe = std::function<std::int64_t(const std::string& Path)>;
TFreeSpaceProbe SetFreeSpaceProbe(TFreeSpaceProbe Probe);

// True when Bytes more can be written at Path and the reserve still stays free (or the free
// space cannot be told).
bool RoomFor(const std::string& Path, std::int64_t Bytes);
