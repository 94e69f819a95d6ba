#include "exec/dry_run.h"

#include <algorithm>

#include "exec/shell_quote.h"
#include "util/log.h"

std::string maskSecrets(std::string text, const std::vector<std::string>& secrets) {
    std::vector<std::string> forms;
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        forms.insert(forms.end(), {bareArgument(secret), insideSingleQuotes(secret),
                                   insideDoubleQuotes(secret), secret});
    }
    // Longest first, so a quoted form goes whole before its bare core does.
    std::sort(forms.begin(), forms.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& form : forms) {
        for (std::size_t at = text.find(form); at != std::string::npos;
             at = text.find(form, at + 3)) {
            text.replace(at, form.size(), "***");
        }
    }
    return text;
}

Host dryRunHost(const Host& real, std::vector<std::string> secrets) {
    Host host = real;
    const ChildStatus succeeded{0, 0};
    host.run = [secrets, succeeded](const std::string& command) {
        LOG_AS("dryRun", "[DRY-RUN] ", maskSecrets(command, secrets));
        return succeeded;
    };
    host.runPipeline = [secrets, succeeded](const std::string& producer,
                                            const std::string& consumer) {
        LOG_AS("dryRun", "[DRY-RUN] ", maskSecrets(producer + " | " + consumer, secrets));
        return PipelineStatus{succeeded, succeeded};
    };
    host.sleepFor = [](unsigned) {};
    return host;
}
