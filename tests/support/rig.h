#pragma once
// Everything a test of the tool needs from the rig, in one include.

#include "background_run.h"
#include "clickhouse_engine.h"
#include "log_lines.h"
#include "mongo_fixture.h"
#include "postgres_server.h"
#include "process.h"
#include "recorded_calls.h"
#include "rig_paths.h"
#include "sandbox.h"
