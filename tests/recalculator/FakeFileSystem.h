#pragma once

#include "Files.h"

#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Files held in memory, with faults that can be switched on to test the recovery paths.
class FakeFileSystem final : public zeltor::FileSystem {
public:
    using Bytes = std::vector<std::uint8_t>;
    std::map<std::string, Bytes> files;
    std::map<std::string, std::string> texts; // appended logs
    std::set<std::string> readOnly;
    bool failCreate = false;
    std::optional<std::size_t> breakNextWriteAfter; // one write stops after this many bytes
    bool breakAllWrites = false;
    bool corruptReadBack = false;      // the first read after a write returns one flipped byte
    std::string faultPath = "rom.smc"; // the faults above touch only this file

    std::unique_ptr<zeltor::File> Open(const std::string& path, bool writable,
                                       std::string& error) override {
        if (!files.count(path) || (writable && readOnly.count(path))) {
            error = "denied";
            return nullptr;
        }
        return std::make_unique<FakeFile>(*this, path, files[path]);
    }
    zeltor::CreateResult CreateNew(const std::string& path, std::unique_ptr<zeltor::File>& file,
                                   std::string& error) override {
        if (files.count(path)) {
            return zeltor::CreateResult::AlreadyExists;
        }
        if (failCreate) {
            error = "disk full";
            return zeltor::CreateResult::Failed;
        }
        file = std::make_unique<FakeFile>(*this, path, files[path]);
        return zeltor::CreateResult::Created;
    }
    bool Remove(const std::string& path) override { return files.erase(path) == 1; }
    bool AppendText(const std::string& path, const std::string& text) override {
        texts[path] += text;
        return true;
    }

private:
    bool m_Armed = false;

    class FakeFile final : public zeltor::File {
    public:
        FakeFile(FakeFileSystem& owner, const std::string& path, Bytes& bytes)
            : m_Owner(owner), m_Faulty(path == owner.faultPath), m_Bytes(bytes) {}
        bool Size(std::uint64_t& size) override {
            size = m_Bytes.size();
            return true;
        }
        bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
            if (offset + count > m_Bytes.size()) {
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
            m_Owner.m_Armed = m_Faulty && m_Owner.corruptReadBack;
            std::size_t allowed = count;
            if (m_Faulty && m_Owner.breakAllWrites) {
                allowed = count / 2;
            } else if (m_Faulty && m_Owner.breakNextWriteAfter) {
                allowed = std::min(count, *m_Owner.breakNextWriteAfter);
                m_Owner.breakNextWriteAfter.reset();
            }
            if (offset + allowed > m_Bytes.size()) {
                m_Bytes.resize(offset + allowed);
            }
            std::memcpy(m_Bytes.data() + offset, buffer, allowed);
            return allowed == count;
        }
        bool Flush() override { return true; }

    private:
        FakeFileSystem& m_Owner;
        bool m_Faulty;
        Bytes& m_Bytes;
    };
};
