// The client's process-wide objects, in the order start-up needs them. They are destroyed in
// the reverse order at exit, so the log, made right after the record, writes the last line.
#include "ConfigRecord.h"
#include "EnvironmentFacts.h"
#include "Log.h"
#include "RunSettings.h"
#include "ScreenTexts.h"
#include "StatusFile.h"
#include "items/UpdateItems.h"
#include "ui/AppModule.h"

AppModule g_appModule;

ConfigRecord g_configRecord; // zero before any code runs
namespace {
// The record is decoded before main runs, before anything that reads it is constructed.
const bool g_configRecordLoaded = (LoadConfigRecord(), true);
}

Log g_log;
EnvironmentFacts g_environmentFacts;
ScreenTexts g_screenTexts;
RunSettings g_runSettings;
UpdateItems g_updateItems;
// Writes itself when destroyed; made after the log and the run settings, so both outlive it.
StatusFile g_statusFile;
