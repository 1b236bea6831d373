// varnholt-cli: the window's phrases from the command line, for one keyword set given as
// arguments or for every line of a file, as text or as CSV for Google Ads Editor. The
// campaign engine does the work; this is the console around it.
#include <cstdlib>
#include <cstring>

#include "campaign/campaign.h"
#include "cli/console_io.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "varnholt_version.h"

namespace {

constexpr char kVersionLine[] = "varnholt-cli " VARNHOLT_VERSION_TEXT "\n";

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// Messages for standard error, gathered and written in blocks: a file of millions of warnings
// would otherwise cost one system call each. Written out before the program ends and before
// each block of output, so that they come before what follows them. Taken from the heap when the
// first message comes: as a static array the Windows build would carry its 64 KiB in the file.
constexpr size_t kMessageBufferSize = 64 * 1024;
struct MessageBuffer {
    char* bytes;
    size_t used;
};
MessageBuffer pendingMessages;

void FlushMessages() {
    WriteToStandardError({pendingMessages.bytes, pendingMessages.used});
    pendingMessages.used = 0;
}

void AddMessage(std::string_view text) {
    if (text.empty()) return;
    if (!pendingMessages.bytes) pendingMessages.bytes = static_cast<char*>(std::malloc(kMessageBufferSize));
    if (text.size() > kMessageBufferSize - pendingMessages.used) FlushMessages();
    if (!pendingMessages.bytes || text.size() > kMessageBufferSize) {
        WriteToStandardError(text);
        return;
    }
    std::memcpy(pendingMessages.bytes + pendingMessages.used, text.data(), text.size());
    pendingMessages.used += text.size();
}

void ReportProblem(std::string_view what, std::string_view name, std::string_view reason) {
    AddMessage("varnholt-cli: ");
    AddMessage(what);
    AddMessage(name);
    if (!reason.empty()) {
        AddMessage(": ");
        AddMessage(reason);
    }
    AddMessage("\n");
}

int UsageError(std::string_view what, std::string_view name = {}, std::string_view reason = {}) {
    ReportProblem(what, name, reason);
    AddMessage("Try 'varnholt-cli --help'.\n");
    return kUsageError;
}

struct Output {
    OutputTarget target;
    std::string_view name;  // for messages
};

bool WriteToOutput(void* context, const char* bytes, size_t size) {
    Output* output = static_cast<Output*>(context);
    FlushMessages();
    Text reason;
    const WriteResult result = WriteOutput(output->target.handle, bytes, size, &reason);
    if (result == WriteResult::kFailed) ReportProblem("cannot write ", output->name, reason.View());
    return result == WriteResult::kWritten;
}

void ReportOnStandardError(void*, std::string_view message) {
    AddMessage(message);
    AddMessage("\n");
}

struct InputSource {
    InputStream stream;
    Text reason;
};

long ReadFromInput(void* source, char* into, size_t size) {
    InputSource* input = static_cast<InputSource*>(source);
    return ReadInput(&input->stream, into, size, &input->reason);
}

// Ends the run: the output is kept only when everything succeeded.
int Finish(CampaignResult result, Output* output, const InputSource& input, std::string_view inputName) {
    if (result == CampaignResult::kReadFailed) ReportProblem("cannot read ", inputName, input.reason.View());
    if (result == CampaignResult::kOutOfMemory) ReportProblem("out of memory", {}, {});
    if (result != CampaignResult::kWritten && result != CampaignResult::kNoKeywordSets) {
        AbandonOutput(&output->target);
        return kFailure;
    }
    Text reason;
    if (!CommitOutput(&output->target, &reason)) {
        ReportProblem("cannot write ", output->name, reason.View());
        return kFailure;
    }
    return kSuccess;
}

int WriteToStandardOutput(std::string_view text) {
    OutputTarget target;
    OpenStandardOutput(&target);
    Text reason;
    const WriteResult result = WriteOutput(target.handle, text.data(), text.size(), &reason);
    if (result == WriteResult::kFailed) ReportProblem("cannot write ", "standard output", reason.View());
    return result == WriteResult::kWritten ? kSuccess : kFailure;
}

int RunCli(int argc, const char* const* argv) {
    PrepareStandardStreams();
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv, NativeLineEnd());
    const CliOptions& options = parsed.options;
    if (!parsed.usageError.IsEmpty()) return UsageError(parsed.usageError.View());
    if (options.help) return WriteToStandardOutput(kUsage);
    if (options.version) return WriteToStandardOutput(kVersionLine);

    InputSource input;
    Text reason;
    const bool fromStandardInput = options.inputPath && std::strcmp(options.inputPath, "-") == 0;
    const std::string_view inputName = fromStandardInput ? "(standard input)" : options.inputPath ? options.inputPath : "";
    if (options.inputPath && !OpenInput(options.inputPath, &input.stream, &reason)) {
        return UsageError("cannot open ", options.inputPath, reason.View());
    }

    Output output;
    if (options.outputPath) {
        output.name = options.outputPath;
        const OpenOutputResult opened =
            OpenOutputFile(options.outputPath, options.inputPath ? &input.stream : nullptr, &output.target, &reason);
        if (opened != OpenOutputResult::kOpened) CloseInput(&input.stream);
        if (opened == OpenOutputResult::kSameAsInput) {
            Text sameFile("--output ");
            sameFile.Append(options.outputPath);
            sameFile.Append(" is the same file as the input ");
            return UsageError(sameFile.View(), inputName);
        }
        if (opened == OpenOutputResult::kRefused) return UsageError("cannot write ", options.outputPath, reason.View());
    } else {
        output.name = "standard output";
        OpenStandardOutput(&output.target);
    }

    const OutputSink sink{WriteToOutput, &output};
    const MessageSink messages{ReportOnStandardError, nullptr};
    CampaignOptions campaign = options.campaign;
    campaign.hashSeed = UnpredictableNumber();
    CampaignResult result;
    if (options.inputPath) {
        result = WriteCampaignFromFile(campaign, ReadFromInput, &input, inputName, sink, messages);
        CloseInput(&input.stream);
    } else {
        result = WriteCampaignFromKeywords(campaign, options.keywords, sink, messages);
    }
    return Finish(result, &output, input, inputName);
}

}  // namespace

int main(int argc, char** argv) {
    char** arguments = Utf8Arguments(&argc, argv);
    if (!arguments) {
        WriteToStandardError("varnholt-cli: out of memory\n");
        return kFailure;
    }
    const int status = RunCli(argc, arguments);
    FlushMessages();
    return status;
}
