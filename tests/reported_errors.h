#pragma once

// How often the copy-failure window was shown since the last call.
int TakeReportedCopyErrors();
