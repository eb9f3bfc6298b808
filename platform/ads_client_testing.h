// Test hook of the ADS client: back to the state of a freshly started process.
#pragma once

// Closes the default port, drops every connection and restarts port numbering at 0x8000.
void AdsClientResetForTests();
