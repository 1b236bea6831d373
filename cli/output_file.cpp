#include "cli/output_file.h"

#include <utility>

namespace {

// Names tried beside the destination before giving up: each is taken only by another run
// that has the same process number, or by one that ended without cleaning up.
constexpr unsigned kTemporaryNameAttempts = 100;

// Where a volume is not known, a file of the same index elsewhere is taken for the same
// file: a refusal the user can answer with another name, never a file lost.
bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.index == b.index && (a.volume == b.volume || !a.volumeKnown || !b.volumeKnown);
}

bool NameTemporaryFile(const Text& destination, unsigned attempt, Text* name) {
    return name->Assign(destination.View()) && name->Append(".tmp.") && AppendNumber(name, ProcessNumber()) &&
           name->Append(".") && AppendNumber(name, attempt);
}

}  // namespace

void OpenStandardOutput(OutputTarget* output) {
    output->handle = StandardOutputHandle();
    output->ownsHandle = false;
}

OpenOutputResult OpenOutputFile(const char* path, const InputStream* input, OutputTarget* output, Text* reason) {
    FileFacts facts;
    if (!ExamineOutputName(path, &facts, reason)) return OpenOutputResult::kRefused;
    if (facts.kind == FileKind::kOther) {
        if (!OpenForWriting(path, &output->handle, reason)) return OpenOutputResult::kRefused;
        output->ownsHandle = true;
        return OpenOutputResult::kOpened;
    }
    const bool replacing = facts.kind == FileKind::kRegular;
    FileIdentity inputIdentity;
    if (replacing && input && IdentifyInput(*input, &inputIdentity) && SameFile(facts.identity, inputIdentity)) {
        return OpenOutputResult::kSameAsInput;
    }
    // The shell's `>` would refuse the file; that it could be replaced all the same, through
    // its folder, is no permission to replace it.
    if (replacing && !MayWrite(facts.file.Data(), reason)) return OpenOutputResult::kRefused;
    // Only the permission bits: a set-user-ID or set-group-ID bit must not pass to a file of
    // keywords owned by whoever runs the program.
    const unsigned permissions = facts.permissions & 0777;

    output->destination = std::move(facts.file);
    for (unsigned attempt = 0;; ++attempt) {
        if (!NameTemporaryFile(output->destination, attempt, &output->temporaryPath)) {
            reason->Assign("out of memory");
            return OpenOutputResult::kRefused;
        }
        bool taken = false;
        if (CreateTemporaryFile(output->temporaryPath.Data(), replacing ? &permissions : nullptr, &output->handle,
                                &taken, reason)) {
            output->ownsHandle = true;
            return OpenOutputResult::kOpened;
        }
        if (!taken || attempt + 1 == kTemporaryNameAttempts) {
            output->temporaryPath.Resize(0);
            return OpenOutputResult::kRefused;
        }
    }
}

bool CommitOutput(OutputTarget* output, Text* reason) {
    if (!output->ownsHandle) return true;
    const bool replacing = !output->temporaryPath.IsEmpty();
    // On the disk before the rename, so that a crash leaves the old file or the whole new one.
    if (replacing && !FlushToDisk(output->handle, reason)) {
        AbandonOutput(output);
        return false;
    }
    output->ownsHandle = false;
    // A close can fail where the bytes did not all arrive (a full network share).
    if (!CloseOutputHandle(output->handle, reason)) {
        AbandonOutput(output);
        return false;
    }
    if (!replacing) return true;
    const bool replaced = ReplaceWithTemporaryFile(output->temporaryPath.Data(), output->destination.Data(), reason);
    if (!replaced) RemoveTemporaryFile(output->temporaryPath.Data());
    output->temporaryPath.Resize(0);
    return replaced;
}

void AbandonOutput(OutputTarget* output) {
    if (output->ownsHandle) {
        Text unreported;
        CloseOutputHandle(output->handle, &unreported);
    }
    output->ownsHandle = false;
    if (output->temporaryPath.IsEmpty()) return;
    RemoveTemporaryFile(output->temporaryPath.Data());
    output->temporaryPath.Resize(0);
}
