#include "cli/commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/auto_target.h"
#include "app/path_helpers.h"
#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "archive/platform/codepage.h"
#include "cli/console.h"
#include "cli/error_messages.h"
#include "cli/listing.h"
#include "cli/progress_sink.h"
#include "cli/selection.h"

namespace cli {
namespace {

namespace plat = vek::platform;

struct SArchiveError {
    std::wstring archive;  // display path
    SReportedError error;
};

void Report(const std::wstring& text) {
    Write(stderr, L"marlox: " + text + L"\n");
}

// Passwords reach the library in the system's ANSI code page, as the main program hands them.
std::string NarrowPassword(const std::wstring& password) {
    std::string bytes;
    if (!plat::WideToMultiByte(plat::VEK_CP_ACP, password.data(), password.size(), bytes)) {
        bytes.clear();
    }
    return bytes;
}

bool AskPassword(const std::wstring& displayPath, std::wstring& password) {
    return ReadPassword(L"Password for " + displayPath + L": ", password);
}

int EntryCount(const CVekArchive& archive) {
    IVekExtractor* extractor = archive.GetExtractor();
    SVekEntryList* entries = extractor != nullptr ? extractor->GetEntryList() : nullptr;
    return entries != nullptr ? entries->count : 0;
}

// Opens the archive the way the main program's list does: when the listing itself is protected,
// a password is asked for (unless one was given) and the archive opened again with it.
// Returns false after printing why the archive cannot be used.
bool OpenArchive(CVekArchive& archive, const std::wstring& path, const SOptions& options,
                 std::wstring& password) {
    std::wstring shown = ToDisplayPath(path);
    archive.SetCodePage(options.codePage);
    std::string narrow = NarrowPassword(password);
    if (!archive.Open(path.c_str(), options.hasPassword ? narrow.c_str() : nullptr)) {
        unsigned code = archive.GetLastErrorCode();
        if (code == VEKERR_NONE) {
            Report(L"cannot open " + shown + L": not a recognised archive");
        } else {
            Report(L"cannot open " + shown + L": " + DescribeError(code));
        }
        return false;
    }
    if (EntryCount(archive) == 0 && archive.IsEncrypted()) {
        if (!options.hasPassword && !AskPassword(shown, password)) {
            password.clear();
        }
        if (!options.hasPassword) {
            narrow = NarrowPassword(password);
            archive.Open(path.c_str(), narrow.c_str());
        }
        if (EntryCount(archive) == 0 && archive.IsEncrypted()) {
            Report(L"cannot open " + shown + L": wrong password or no entries to extract");
            return false;
        }
    }
    return true;
}

void ReportDamaged(const CVekArchive& archive, const std::wstring& shown) {
    Report(shown + L": the archive is damaged; only the entries that could be read are used (" +
           DescribeError(archive.GetLastErrorCode()) + L")");
}

// The folder the archive goes into, by the options' rule.
std::wstring ChooseTarget(const SOptions& options, const std::wstring& archivePath,
                          const SVekEntryList& entries) {
    std::wstring folder = options.folder.empty() ? std::wstring() : ToLibraryPath(options.folder);
    switch (options.target) {
        case ETarget::kFolder:
            return folder;
        case ETarget::kSubfolder:
            return GetFileNameTargetPath(folder, archivePath);
        case ETarget::kAuto:
        default:
            return GetAutoTargetPath(folder, archivePath, entries);
    }
}

// Extracts one archive; its errors are added to errors. Returns the archive's exit status.
int ExtractOne(const SOptions& options, const std::wstring& argument,
               std::vector<SArchiveError>& errors) {
    std::wstring path = ToLibraryPath(argument);
    std::wstring shown = ToDisplayPath(path);
    CVekArchive archive;
    std::wstring password = options.password;
    if (path.empty() || !OpenArchive(archive, path, options, password)) {
        return kExitCannotOpen;
    }
    int status = kExitSuccess;
    if (archive.IsDamaged()) {
        ReportDamaged(archive, shown);
        status = kExitEntryFailed;
    }
    IVekExtractor* extractor = archive.GetExtractor();
    const SVekEntryList& entries = *extractor->GetEntryList();
    if (entries.count == 0) {
        Report(shown + L": the archive holds no entries");
        return kExitEntryFailed;
    }

    if (!options.entries.empty()) {
        SSelection selection = SelectEntries(entries, options.entries);
        for (const std::wstring& request : selection.unmatched) {
            Report(shown + L": no entry " + request);
            status = kExitEntryFailed;
        }
        if (selection.indices.empty()) {
            return kExitEntryFailed;
        }
        archive.Selection() = selection.indices;
    }

    std::wstring target = ChooseTarget(options, path, entries);
    if (target.empty()) {
        // An empty target would put the entries at the root of the file system.
        Report(shown + L": no usable target folder");
        return kExitCannotOpen;
    }
    if (archive.IsEncrypted()) {
        // A password given on the command line, even an empty one, is not asked for again.
        if (!options.hasPassword && password.empty() && !AskPassword(shown, password)) {
            password.clear();
        }
        archive.SetPassword(password.c_str());
    }
    Write(stdout, L"Extracting " + shown + L" into " + ToDisplayPath(target) + L"\n");

    int64_t packed = kProgressUnknown;
    int64_t size = kProgressUnknown;
    archive.GetSelectionSizes(&packed, &size);
    CVekRef<CCliProgress> sink(new CCliProgress(IsTerminal(stderr)));
    sink->StartJob(packed, size);
    extractor->SetProgressSink(sink.Get());
    int extracted = archive.ExtractSelection(target.c_str());
    // The extractor's Close forgets its sink without releasing it; hand it back first.
    extractor->SetProgressSink(nullptr);
    sink->EndJob();

    for (const SReportedError& error : sink->Errors()) {
        errors.push_back({shown, error});
    }
    if (!sink->Errors().empty()) {
        status = kExitEntryFailed;
    } else if (!extracted) {
        // The library can fail a run without reporting it (it refuses a target holding "..",
        // for one); the failure still counts, with whatever code the extractor kept.
        errors.push_back({shown, {extractor->GetLastErrorCode(), std::wstring()}});
        status = kExitEntryFailed;
    }
    return status;
}

void PrintErrors(const std::vector<SArchiveError>& errors) {
    for (const SArchiveError& item : errors) {
        std::wstring where = item.archive;
        if (!item.error.name.empty()) {
            where += L": " + ToDisplayPath(item.error.name);
        }
        std::wstring text = item.error.code == VEKERR_NONE
                                ? std::wstring(L"the extraction did not complete")
                                : DescribeError(item.error.code);
        Report(where + L": " + text);
    }
}

}  // namespace

int RunList(const SOptions& options) {
    std::wstring path = ToLibraryPath(options.archives.front());
    CVekArchive archive;
    std::wstring password = options.password;
    if (path.empty() || !OpenArchive(archive, path, options, password)) {
        return kExitCannotOpen;
    }
    const SVekEntryList& entries = *archive.GetExtractor()->GetEntryList();
    // Entry names are relative paths: shown with the system's separator like every other path.
    Write(stdout, ToDisplayPath(FormatListing(entries, archive.GetType())));
    Write(stdout, FormatSummary(entries));
    if (archive.IsDamaged()) {
        ReportDamaged(archive, ToDisplayPath(path));
        return kExitEntryFailed;
    }
    return kExitSuccess;
}

int RunExtract(const SOptions& options) {
    std::vector<SArchiveError> errors;
    int status = kExitSuccess;
    // Unlike the main program, a failed archive does not stop the others: a script gets as much
    // done as it can, and the exit status still says that something failed.
    for (const std::wstring& archive : options.archives) {
        status = std::max(status, ExtractOne(options, archive, errors));
    }
    PrintErrors(errors);
    return status;
}

int Run(const std::vector<std::wstring>& arguments) {
    SParseResult parsed = ParseArguments(arguments);
    if (!parsed.ok) {
        Report(parsed.error);
        Write(stderr, Usage());
        return kExitCannotOpen;
    }
    switch (parsed.options.command) {
        case ECommand::kHelp:
            Write(stdout, Usage());
            return kExitSuccess;
        case ECommand::kList:
            return RunList(parsed.options);
        case ECommand::kExtract:
            return RunExtract(parsed.options);
        case ECommand::kNone:
        default:
            return kExitCannotOpen;
    }
}

}  // namespace cli
