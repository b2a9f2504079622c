#pragma once

#include "zeltor/Files.h"

#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Thrown by the fake to stop a run dead, as a kill would: nothing of the run's own is left to
// clean up after it (it is not a std::exception, so the run cannot catch it as one).
struct Killed {};

// Files held in memory, with faults that can be switched on to test the recovery paths.
class FakeFileSystem final : public zeltor::FileSystem {
public:
    using Bytes = std::vector<std::uint8_t>;
    std::map<std::string, Bytes> files;
    std::map<std::string, std::string> texts; // appended logs
    std::set<std::string> readOnly;
    bool failCreate = false;
    bool failLog = false;
    std::optional<std::size_t> breakNextWriteAfter; // one write stops after this many bytes
    // The first write stops halfway, and every later one writes nothing: the disk filled up.
    bool breakAllWrites = false;
    bool fullDisk = false; // every write writes nothing and fails, as in a hole of a full disk
    bool corruptReadBack = false;      // the first read after a write returns one flipped byte
    std::string faultPath = "rom.smc"; // the faults above touch only this file
    std::string romPath = "rom.smc";   // the kills below count the writes to this file
    // The run dies once this many bytes have been written to files other than the ROM.
    std::optional<std::size_t> killAfterCopying;
    // The run dies once this many more bytes of the ROM have been written, in whichever write.
    std::optional<std::size_t> killInTableWrite;
    // The write that the kill above stops keeps only its whole pages, as the system's writes
    // do: a kill stops them between two pages of the file, never inside one.
    bool killByPages = false;
    // Every call into the file system or a file counts; the one numbered `throwAtCall` (from
    // 1) throws std::bad_alloc, as the layer does when wording a failure finds no memory. A
    // write that throws has written half its bytes first.
    std::size_t calls = 0;
    std::optional<std::size_t> throwAtCall;
    std::vector<std::string> callNames; // what each call was, for the tests' messages
    // Which file each name holds: a new number for every file created; a test that gives two
    // names one number makes them one file as far as identities go (their bytes stay apart).
    std::map<std::string, std::uint64_t> ids;
    std::map<std::string, std::int64_t> stamps; // each write to a file moves its time on
    // Names held by what is no regular file: a folder, a FIFO, a link.
    std::map<std::string, zeltor::NameKind> occupied;

    std::uint64_t IdOf(const std::string& path) {
        auto [at, added] = ids.emplace(path, m_NextId);
        m_NextId += added ? 1 : 0;
        return at->second;
    }

    // Counts a call; true when this one is to throw.
    bool Count(const std::string& what) {
        ++calls;
        callNames.push_back(what);
        return throwAtCall && calls == *throwAtCall;
    }
    void Call(const std::string& what) {
        if (Count(what)) {
            throw std::bad_alloc();
        }
    }

    std::unique_ptr<zeltor::File> Open(const std::string& path, bool writable,
                                       zeltor::FileError& error) override {
        Call("Open " + path);
        if (occupied.count(path)) {
            error = {occupied[path] == zeltor::NameKind::Folder ? zeltor::Cause::Folder
                                                                : zeltor::Cause::Pipe,
                     ""};
            return nullptr;
        }
        if (!files.count(path)) {
            error = {zeltor::Cause::NotFound, "not found"};
            return nullptr;
        }
        if (writable && readOnly.count(path)) {
            error = {zeltor::Cause::AccessDenied, "denied"};
            return nullptr;
        }
        return std::make_unique<FakeFile>(*this, path, files[path]);
    }
    zeltor::CreateResult CreateNew(const std::string& path, std::unique_ptr<zeltor::File>& file,
                                   zeltor::FileError& error) override {
        Call("CreateNew " + path);
        if (files.count(path) || occupied.count(path)) {
            return zeltor::CreateResult::AlreadyExists;
        }
        if (failCreate) {
            error = {zeltor::Cause::DiskFull, "disk full"};
            return zeltor::CreateResult::Failed;
        }
        ids.erase(path);
        IdOf(path);
        file = std::make_unique<FakeFile>(*this, path, files[path]);
        return zeltor::CreateResult::Created;
    }
    zeltor::CreateResult MoveNew(const std::string& from, const std::string& to,
                                 zeltor::FileError& error) override {
        Call("MoveNew " + from + " " + to);
        if (files.count(to) || occupied.count(to)) {
            return zeltor::CreateResult::AlreadyExists;
        }
        if (!files.count(from)) {
            error = {zeltor::Cause::NotFound, "not found"};
            return zeltor::CreateResult::Failed;
        }
        Bytes bytes = std::move(files[from]);
        files.erase(from);
        files[to] = std::move(bytes);
        ids[to] = IdOf(from);
        ids.erase(from);
        return zeltor::CreateResult::Created;
    }
    bool Remove(const std::string& path) override {
        Call("Remove " + path);
        ids.erase(path);
        return files.erase(path) == 1;
    }
    bool AppendText(const std::string& path, const std::string& text,
                    zeltor::FileError& error) override {
        Call("AppendText " + path);
        if (failLog) {
            error = {zeltor::Cause::AccessDenied, "denied"};
            return false;
        }
        texts[path] += text;
        return true;
    }
    zeltor::NameKind Look(const std::string& path) override {
        Call("Look " + path);
        if (occupied.count(path)) {
            return occupied[path];
        }
        return files.count(path) ? zeltor::NameKind::File : zeltor::NameKind::None;
    }
    std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                                  const std::string& suffix) override {
        Call("List " + folder);
        std::vector<std::string> names;
        for (const auto& [name, bytes] : files) {
            if (name.starts_with(folder + prefix) && name.ends_with(suffix)) {
                names.push_back(name.substr(folder.size()));
            }
        }
        return names;
    }
    std::optional<std::string> RealPath(const std::string& path) override {
        Call("RealPath " + path);
        return files.count(path) ? std::optional<std::string>(path) : std::nullopt;
    }

private:
    std::uint64_t m_NextId = 1;
    bool m_Armed = false;
    bool m_BrokenOnce = false;
    std::size_t m_Copied = 0;

    class FakeFile final : public zeltor::File {
    public:
        FakeFile(FakeFileSystem& owner, const std::string& path, Bytes& bytes)
            : m_Owner(owner), m_Path(path), m_Faulty(path == owner.faultPath),
              m_IsRom(path == owner.romPath), m_Bytes(bytes) {}
        bool Size(std::uint64_t& size) override {
            m_Owner.Call("Size " + m_Path);
            size = m_Bytes.size();
            return true;
        }
        bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
            m_Owner.Call("Read " + m_Path);
            if (offset + count > m_Bytes.size()) {
                m_Error = {zeltor::Cause::Truncated, ""};
                return false;
            }
            std::memcpy(buffer, m_Bytes.data() + offset, count);
            if (m_Faulty && m_Owner.m_Armed && count > 0) {
                m_Owner.m_Armed = false;
                m_Owner.corruptReadBack = false;
                static_cast<std::uint8_t*>(buffer)[0] ^= 0xFF;
            }
            return true;
        }
        bool Write(std::uint64_t offset, const void* buffer, std::size_t count) override {
            const bool throws = m_Owner.Count("Write " + m_Path);
            m_Owner.m_Armed = m_Faulty && m_Owner.corruptReadBack;
            std::size_t allowed = count;
            bool killed = false;
            if (throws) {
                allowed = count / 2;
            } else if (m_IsRom && m_Owner.killInTableWrite) {
                allowed = std::min(count, *m_Owner.killInTableWrite);
                *m_Owner.killInTableWrite -= allowed;
                killed = allowed < count || *m_Owner.killInTableWrite == 0;
                if (killed) {
                    m_Owner.killInTableWrite.reset();
                }
                if (allowed < count && m_Owner.killByPages) {
                    const std::uint64_t end = (offset + allowed) / 4096 * 4096;
                    allowed = end > offset ? static_cast<std::size_t>(end - offset) : 0;
                }
            } else if (m_Faulty && m_Owner.fullDisk) {
                allowed = 0;
            } else if (m_Faulty && m_Owner.breakAllWrites) {
                allowed = m_Owner.m_BrokenOnce ? 0 : count / 2;
                m_Owner.m_BrokenOnce = true;
            } else if (m_Faulty && m_Owner.breakNextWriteAfter) {
                allowed = std::min(count, *m_Owner.breakNextWriteAfter);
                m_Owner.breakNextWriteAfter.reset();
            } else if (!m_IsRom && m_Owner.killAfterCopying) {
                const std::size_t left = *m_Owner.killAfterCopying - m_Owner.m_Copied;
                killed = count > left;
                allowed = std::min(count, left);
                m_Owner.m_Copied += allowed;
            }
            if (offset + allowed > m_Bytes.size()) {
                m_Bytes.resize(offset + allowed);
            }
            std::memcpy(m_Bytes.data() + offset, buffer, allowed);
            ++m_Owner.stamps[m_Path];
            if (killed) {
                throw Killed{};
            }
            if (throws) {
                throw std::bad_alloc();
            }
            if (allowed != count) {
                m_Error = {zeltor::Cause::DiskFull, "disk full"};
                return false;
            }
            return true;
        }
        bool Flush() override {
            m_Owner.Call("Flush " + m_Path);
            return true;
        }
        bool Info(zeltor::FileInfo& info) override {
            m_Owner.Call("Info " + m_Path);
            info = {1, m_Owner.IdOf(m_Path), m_Bytes.size(), m_Owner.stamps[m_Path], 1};
            return true;
        }

    private:
        FakeFileSystem& m_Owner;
        std::string m_Path;
        bool m_Faulty;
        bool m_IsRom;
        Bytes& m_Bytes;
    };
};
