#include "inspect/drop.h"

#include <algorithm>
#include <cctype>

#include "app/catalogue.h"
#include "exec/commands.h"
#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/log.h"

namespace {
const std::string separator(56, '-');

// One word, lower-cased: "YES" and "yes please" confirm, "yes!" does not.
std::string readAnswerWord(std::istream& answer) {
    std::string word;
    answer >> word;
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

void writeProgressLine(const std::string& text) {
    writeReportLine(getCurrentTime() + " - " + text);
}
}  // namespace

void dropCollections(const std::string& host, const std::string& user,
                     const std::string& password, std::istream& answer, const Host& machine) {
    writeReportLine(separator);
    writeReportLine("DROP Collection List");
    writeReportLine("");
    for (const auto& entry : migrationList) {
        for (const auto& [section, names] : entry) {
            writeReportLine("[" + section + "]");
            for (const std::string& name : names) writeReportLine(name);
            writeReportLine("");
        }
    }
    writeReportLine(separator);

    std::cout << "Are you sure you want to drop the collection? (yes/no) : " << std::flush;
    if (readAnswerWord(answer) == "yes") {
        const MongoLogin login{host, user, password};
        forEachCollection(migrationList, [&](const std::string&, const std::string& name) {
            if (!isAcceptableCollectionName(name)) {
                LOG("Refused collection name \"", name, "\": only A-Z a-z 0-9 _ . - are accepted");
                return;
            }
            writeProgressLine(name + " collection drop start ");
            executeCommand(dropCollectionCommand(login, name), machine);
            writeProgressLine(name + " collection drop end ");
            writeReportLine("");
        });
    }
    writeReportLine(separator);
}
