#pragma once

struct Shared;

// The preferences of the Prefs table on the session, under the error trap
// (" Module1_GetPrefs").
namespace SessionData {

// Reads MineID, MaxY, MinY, MinX and MaxX from Prefs. An empty table or a null field
// leaves the values not yet read as they were.
void GetPrefs(Shared& s);

}  // namespace SessionData
