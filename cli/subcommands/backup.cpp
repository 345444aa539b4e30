// quorvane-cli backup FILE: every readable parameter and the reader's identity into a JSON file.
#include "reader/backup.h"
#include "cli/session.h"

#include "qv_version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qv::cli {

namespace {

namespace fs = std::filesystem;

struct BackupOptions {
    OnePlace place;
    std::string file;
};

// The backup is written beside its place first and replaces it only when complete: a place that
// cannot be written is found before anything is sent, and a reader that stops answering half-way
// leaves an older backup there whole.
class PartFile {
public:
    explicit PartFile(const std::string& file) : file_(file), part_(file + ".part") {
        std::error_code ec;
        if (fs::is_directory(PathOf(file_), ec))
            throw Failure{kExitUsage, file_ + ": cannot be written: it is a directory"};
        errno = 0;
        handle_ = std::fopen(part_.c_str(), "wb");
        if (!handle_)
            throw Failure{kExitUsage, file_ + ": cannot be written: " +
                                          (errno ? std::strerror(errno) : "cannot create a file")};
    }
    ~PartFile() {
        if (handle_)
            std::fclose(handle_);
        if (!committed_) {
            std::error_code ec;
            fs::remove(PathOf(part_), ec);
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    void commit(const std::string& text) {
        const bool written = std::fwrite(text.data(), 1, text.size(), handle_) == text.size();
        const bool closed = std::fclose(handle_) == 0;
        handle_ = nullptr;
        std::error_code ec;
        if (written && closed)
            fs::rename(PathOf(part_), PathOf(file_), ec);
        if (!written || !closed || ec)
            throw Failure{kExitReader, file_ + ": cannot be written: " +
                                           (ec ? ec.message() : std::string("the disk is full"))};
        committed_ = true;
    }

private:
    std::string file_, part_;
    std::FILE* handle_ = nullptr;
    bool committed_ = false;
};

int RunBackup(Session& s, const BackupOptions& o) {
    std::unique_ptr<PartFile> part;
    if (o.file != "-")
        part = std::make_unique<PartFile>(o.file);
    auto connection = s.open(o.place);
    std::string error;
    const auto doc = reader::MakeBackup(*connection, qv::ProgramVersion, IsoUtcNow(false), error);
    if (!doc)
        throw Failure{kExitReader, error};
    if ((*doc)["settings"].is_null())
        s.output.warn("baud is left out of the backup: behind raw TCP the line runs at the "
                      "server's settings, which are not known here");
    if (!part) {
        s.output.out() << Dump(*doc, 2) << '\n';
        return kExitOk;
    }
    part->commit(Dump(*doc, 2) + '\n');
    s.output.emit({{"ok", true}, {"file", o.file}, {"parameters", (*doc)["parameters"].size()}},
                  Rows{{"backup", o.file},
                       {"reader", (*doc)["reader"]["id"].get<std::string>() + " " +
                                      (*doc)["reader"]["serial"].get<std::string>()},
                       {"parameters", std::to_string((*doc)["parameters"].size())}});
    return kExitOk;
}

} // namespace

void SetupBackup(CLI::App& app, Session& session) {
    auto options = std::make_shared<BackupOptions>();
    auto* sub = app.add_subcommand(
        "backup", "every readable parameter and the reader's identity into a JSON file");
    sub->add_option("FILE", options->file, "the backup file, - for standard output")->required();
    AddOnePlace(sub, options->place, true);
    sub->callback([&session, options] { session.exitCode = RunBackup(session, *options); });
}

} // namespace qv::cli
