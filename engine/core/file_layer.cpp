#include "engine/core/file_layer.h"

#include "engine/core/wstring.h"

#include <algorithm>

namespace vistrel {
namespace {

constexpr std::int64_t kFreeSpaceCap = 4294967294LL;
// ReadFile and WriteFile move at most this many bytes per call.
constexpr std::size_t kMaxChunk = 0x40000000u;

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

bool nativeFileName(std::u16string_view name, std::string& out) {
    out.clear();
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c == 0)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF)
                return false;
            const std::uint32_t cp =
                0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        } else {
            appendUtf8(out, c);
        }
    }
    return true;
}

FileHandle FileOpen(std::u16string_view name, std::uint16_t mode) {
    std::string narrow;
    if (!nativeFileName(name, narrow))
        return win::INVALID_HANDLE_VALUE;
    win::DWORD access = 0;
    if (mode & kFileRead)
        access |= win::GENERIC_READ;
    if (mode & kFileWrite)
        access |= win::GENERIC_WRITE;
    win::DWORD disposition = win::OPEN_EXISTING;
    if (mode & kFileNew) {
        disposition = win::CREATE_NEW;
    } else if (mode & kFileCreate) {
        disposition = (mode & kFileAppend) ? win::OPEN_ALWAYS : win::CREATE_ALWAYS;
    }
    FileHandle h =
        win::CreateFileA(narrow.c_str(), access, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                         nullptr, disposition, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != win::INVALID_HANDLE_VALUE && (mode & kFileAppend))
        FileSeekEnd(h);
    return h;
}

std::size_t FileRead(FileHandle h, void* buffer, std::size_t n) {
    if (buffer == nullptr) {
        if (n > static_cast<std::size_t>(INT64_MAX))
            return 0;
        const auto move = static_cast<std::int64_t>(n);
        win::LONG high = static_cast<win::LONG>(move >> 32);
        win::SetFilePointer(h, static_cast<win::LONG>(move & 0xFFFFFFFF), &high, win::FILE_CURRENT);
        return n;
    }
    std::size_t total = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (total < n) {
        const auto want = static_cast<win::DWORD>(std::min(n - total, kMaxChunk));
        win::DWORD got = 0;
        if (!win::ReadFile(h, out + total, want, &got, nullptr))
            return total + got;
        total += got;
        if (got < want)
            break;
    }
    return total;
}

std::size_t FileReadAt(FileHandle h, std::uint64_t offset, void* buffer, std::size_t n) {
    std::size_t total = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (total < n) {
        const auto want = static_cast<win::DWORD>(std::min(n - total, kMaxChunk));
        win::OVERLAPPED at{};
        at.Offset = static_cast<win::DWORD>((offset + total) & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<win::DWORD>((offset + total) >> 32);
        win::DWORD got = 0;
        if (!win::ReadFile(h, out + total, want, &got, &at))
            return total + got;
        total += got;
        if (got < want)
            break;
    }
    return total;
}

std::size_t FileWrite(FileHandle h, const void* buffer, std::size_t n) {
    std::size_t total = 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (total < n) {
        const auto want = static_cast<win::DWORD>(std::min(n - total, kMaxChunk));
        win::DWORD put = 0;
        const bool ok = win::WriteFile(h, in + total, want, &put, nullptr) != 0;
        total += put;
        if (!ok || put < want)
            break;
    }
    return total;
}

std::uint64_t FileSize(FileHandle h) {
    win::DWORD high = 0;
    const win::DWORD low = win::GetFileSize(h, &high);
    if (low == win::INVALID_FILE_SIZE && win::GetLastError() != win::NO_ERROR)
        return 0;
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::int64_t FileSeek(FileHandle h, std::int64_t offset, std::uint32_t origin) {
    win::DWORD method = origin;
    if (origin == kSeekCurrent) {
        method = win::FILE_CURRENT;
    } else if (origin == kSeekEnd) {
        method = win::FILE_END;
    } else if (origin == kSeekBegin) {
        method = win::FILE_BEGIN;
    }
    win::LONG high = static_cast<win::LONG>(offset >> 32);
    const win::DWORD low =
        win::SetFilePointer(h, static_cast<win::LONG>(offset & 0xFFFFFFFF), &high, method);
    if (low == win::INVALID_SET_FILE_POINTER && win::GetLastError() != win::NO_ERROR)
        return -1;
    const auto pos = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
    if (static_cast<std::uint64_t>(pos) >= FileSize(h))
        return -1;
    return pos;
}

std::int64_t FileSeekEnd(FileHandle h) {
    win::LONG high = 0;
    const win::DWORD low = win::SetFilePointer(h, 0, &high, win::FILE_END);
    if (low == win::INVALID_SET_FILE_POINTER && win::GetLastError() != win::NO_ERROR)
        return -1;
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
}

bool FileFlush(FileHandle h) {
    return win::FlushFileBuffers(h) != 0;
}

bool FileLock(FileHandle h) {
    return win::LockFileEx(h, win::LOCKFILE_EXCLUSIVE_LOCK, 0, 0xFFFFFFFFu, 0xFFFFFFFFu,
                           nullptr) != 0;
}

void FileUnlock(FileHandle h) {
    win::UnlockFileEx(h, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, nullptr);
}

bool FileIsSame(FileHandle h, std::u16string_view name) {
    // Opened for no access: only the file's identity is asked for.
    const FileHandle other = FileOpen(name, 0);
    if (!isValidFile(other))
        return false;
    win::BY_HANDLE_FILE_INFORMATION mine{};
    win::BY_HANDLE_FILE_INFORMATION theirs{};
    const bool same = win::GetFileInformationByHandle(h, &mine) &&
                      win::GetFileInformationByHandle(other, &theirs) &&
                      mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                      mine.nFileIndexHigh == theirs.nFileIndexHigh &&
                      mine.nFileIndexLow == theirs.nFileIndexLow;
    FileClose(other);
    return same;
}

bool FileReplace(std::u16string_view from, std::u16string_view to) {
    std::string narrowFrom, narrowTo;
    if (!nativeFileName(from, narrowFrom) || !nativeFileName(to, narrowTo))
        return false;
    if (win::ReplaceFileA(narrowTo.c_str(), narrowFrom.c_str(), nullptr, 0, nullptr, nullptr))
        return true;
    return win::GetLastError() == win::ERROR_FILE_NOT_FOUND &&
           win::MoveFileExA(narrowFrom.c_str(), narrowTo.c_str(), win::MOVEFILE_REPLACE_EXISTING);
}

std::u16string FileFinalName(std::u16string_view name) {
    const FileHandle file = FileOpen(name, 0);
    if (!isValidFile(file))
        return std::u16string(name);
    std::string path(256, '\0');
    win::DWORD length = win::GetFinalPathNameByHandleA(file, path.data(), win::DWORD(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length);
        length = win::GetFinalPathNameByHandleA(file, path.data(), win::DWORD(path.size()), 0);
    }
    FileClose(file);
    if (length == 0 || length >= path.size())
        return std::u16string(name);
    path.resize(length);
    return WideFromUtf8(path);
}

bool FileDelete(std::u16string_view name) {
    std::string narrow;
    return nativeFileName(name, narrow) && win::DeleteFileA(narrow.c_str()) != 0;
}

bool FileAtOrPastEnd(FileHandle h, std::uint64_t position) {
    return position >= FileSize(h);
}

bool FileSetSize(FileHandle h, std::uint64_t size) {
    if (size >= FileSize(h) || size > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    win::LONG high = static_cast<win::LONG>(size >> 32);
    const win::DWORD low =
        win::SetFilePointer(h, static_cast<win::LONG>(size & 0xFFFFFFFF), &high, win::FILE_BEGIN);
    if (low == win::INVALID_SET_FILE_POINTER && win::GetLastError() != win::NO_ERROR)
        return false;
    return win::SetEndOfFile(h) != 0;
}

std::int64_t FileFreeSpace(std::u16string_view name) {
    std::string narrow;
    if (!nativeFileName(name, narrow))
        return -1;
    win::ULARGE_INTEGER avail{0};
    if (!win::GetDiskFreeSpaceExA(narrow.c_str(), &avail, nullptr, nullptr))
        return -1;
    if (avail.QuadPart >= 0x100000000ULL)
        return kFreeSpaceCap;
    return static_cast<std::int64_t>(avail.QuadPart);
}

void FileClose(FileHandle h) {
    win::CloseHandle(h);
}

void* FileMapOpen(std::u16string_view name, std::uint16_t mode, FileHandle* file,
                  FileHandle* mapping) {
    if (file == nullptr || mapping == nullptr)
        return nullptr;
    *file = win::INVALID_HANDLE_VALUE;
    *mapping = nullptr;
    const bool writable = (mode & kFileWrite) != 0;
    const FileHandle opened = FileOpen(name, mode);
    if (!isValidFile(opened))
        return nullptr;
    const FileHandle map = win::CreateFileMappingA(
        opened, nullptr, writable ? win::PAGE_READWRITE : win::PAGE_READONLY, 0, 0, nullptr);
    if (map == nullptr) {
        FileClose(opened);
        return nullptr;
    }
    void* view =
        win::MapViewOfFile(map, writable ? win::FILE_MAP_ALL_ACCESS : win::FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        win::CloseHandle(map);
        FileClose(opened);
        return nullptr;
    }
    *file = opened;
    *mapping = map;
    return view;
}

void FileMapClose(const void* view, FileHandle file, FileHandle mapping) {
    if (view != nullptr)
        win::UnmapViewOfFile(view);
    if (mapping != nullptr)
        win::CloseHandle(mapping);
    if (isValidFile(file))
        FileClose(file);
}

bool FileFlushView(const void* view, std::size_t n) {
    return view != nullptr && win::FlushViewOfFile(view, n) != 0;
}

}  // namespace vistrel
