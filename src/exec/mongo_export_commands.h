#pragma once
// The exporter's lines: mongoexport, newest document first, the password
// in a private configuration file that lives only as long as the call.

#include <string>
#include <string_view>
#include <vector>

#include "exec/command_text.h"

// The filter option of the export-and-load pipeline: none without an upper
// bound, "$lte" only without a lower bound, both otherwise.
std::string exportQueryOption(std::string_view upperOid, std::string_view lowerOid);
// The exporter reads the password from `configFile`, the command's secret
// file.
ShellCommand exportCommand(const MongoLogin& login, std::string_view collection,
                           std::string_view queryOption, std::string_view configFile);
// The export of the `_id` values of a window into the work file: with an
// empty lower bound everything strictly newer than `floorOid`.
ShellCommand objectIdListExportCommand(const MongoLogin& login, std::string_view collection,
                                       std::string_view lowerOid, std::string_view upperOid,
                                       std::string_view floorOid, std::string_view configFile);
// A filter for the exporter's --queryFile: every document of `ranges` (both
// bounds set, inclusive) and every one of `ids`, held in a file so that a
// long list never stands on a command line.
std::string objectIdQueryText(const std::vector<ObjectIdSpan>& ranges,
                              const std::vector<std::string>& ids);
std::string queryFileOption(std::string_view queryFile);
// The `_id` lines of what `queryFile` selects, newest first, on standard output.
ShellCommand objectIdExportCommand(const MongoLogin& login, std::string_view collection,
                                   std::string_view queryFile, std::string_view configFile);
