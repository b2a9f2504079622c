// Linked only into zeltor_pausing, the test build of zeltor: with ZELTOR_PAUSE_FD set, the
// first write to the file opened for writing (the ROM's table) stops halfway, one byte goes to
// that descriptor, and the program waits there to be killed. With ZELTOR_STOP_FIRST set, the
// program stops itself (SIGSTOP) before that write instead, and goes on when continued. The
// rest is the real program.
#include "zeltor/Files.h"

#include <cstdlib>
#include <memory>
#include <string>

#include <csignal>

#include <unistd.h>

namespace {

class PausingFile final : public zeltor::File {
public:
    PausingFile(std::unique_ptr<zeltor::File> inner, int signal, bool stop)
        : m_Inner(std::move(inner)), m_Signal(signal), m_Stop(stop) {}
    bool Size(std::uint64_t& size) override { return Pass(m_Inner->Size(size)); }
    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        return Pass(m_Inner->Read(offset, buffer, count));
    }
    bool Write(std::uint64_t offset, const void* buffer, std::size_t count) override {
        if (m_Stop) {
            m_Stop = false;
            std::raise(SIGSTOP);
        }
        if (m_Signal >= 0) {
            m_Inner->Write(offset, buffer, count / 2);
            const ssize_t sent = ::write(m_Signal, "p", 1);
            (void)sent;
            for (;;) {
                ::pause();
            }
        }
        return Pass(m_Inner->Write(offset, buffer, count));
    }
    bool Flush() override { return Pass(m_Inner->Flush()); }
    bool Info(zeltor::FileInfo& info) override { return Pass(m_Inner->Info(info)); }
    std::optional<bool> CopyInto(zeltor::File& target, std::uint64_t size) override {
        return m_Inner->CopyInto(target, size);
    }

private:
    bool Pass(bool ok) {
        if (!ok) {
            m_Error = m_Inner->Error();
        }
        return ok;
    }
    std::unique_ptr<zeltor::File> m_Inner;
    int m_Signal;
    bool m_Stop;
};

class PausingFileSystem final : public zeltor::FileSystem {
public:
    PausingFileSystem(std::unique_ptr<zeltor::FileSystem> inner, int signal, bool stop)
        : m_Inner(std::move(inner)), m_Signal(signal), m_Stop(stop) {}
    std::unique_ptr<zeltor::File> Open(const std::string& path, bool writable,
                                       zeltor::FileError& error) override {
        auto file = m_Inner->Open(path, writable, error);
        if (file && writable) {
            return std::make_unique<PausingFile>(std::move(file), m_Signal, m_Stop);
        }
        return file;
    }
    zeltor::CreateResult CreateNew(const std::string& path, std::unique_ptr<zeltor::File>& file,
                                   zeltor::FileError& error) override {
        return m_Inner->CreateNew(path, file, error);
    }
    zeltor::CreateResult MoveNew(const std::string& from, const std::string& to,
                                 zeltor::FileError& error) override {
        return m_Inner->MoveNew(from, to, error);
    }
    bool Remove(const std::string& path) override { return m_Inner->Remove(path); }
    bool AppendText(const std::string& path, const std::string& text,
                    zeltor::FileError& error) override {
        return m_Inner->AppendText(path, text, error);
    }
    zeltor::NameKind Look(const std::string& path) override { return m_Inner->Look(path); }
    std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                                  const std::string& suffix) override {
        return m_Inner->List(folder, prefix, suffix);
    }
    std::optional<std::string> RealPath(const std::string& path) override {
        return m_Inner->RealPath(path);
    }

private:
    std::unique_ptr<zeltor::FileSystem> m_Inner;
    int m_Signal;
    bool m_Stop;
};

} // namespace

std::unique_ptr<zeltor::FileSystem> WrapForTests(std::unique_ptr<zeltor::FileSystem> files) {
    const char* fd = std::getenv("ZELTOR_PAUSE_FD");
    const bool stop = std::getenv("ZELTOR_STOP_FIRST") != nullptr;
    if (fd == nullptr && !stop) {
        return files;
    }
    return std::make_unique<PausingFileSystem>(std::move(files), fd ? std::atoi(fd) : -1, stop);
}
