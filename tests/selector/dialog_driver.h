// Runs the selection dialog modally on the test's thread while a driver thread steers it the
// way a user would: clicks and keys posted to the tree, buttons, the discovery tick.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "zanvi_selector_dlg.h"

// One VCI on the simulated network: its instance name and the links its TXT record offers.
struct SimulatedVci {
    const char* name;
    bool usb, wifi, eth;
};

// The dnssd stand-in, loaded by the test as well so that its network outlives each dialog's
// release of the library, and the discovery state as a fresh process has it.
class SimulatedNetwork {
public:
    SimulatedNetwork();  // an empty network
    ~SimulatedNetwork();
    SimulatedNetwork(const SimulatedNetwork&) = delete;
    SimulatedNetwork& operator=(const SimulatedNetwork&) = delete;

    // Announces the VCIs under the service type on interface 1, with TXT "usb=true" etc.
    void Announce(const char* serviceType, const std::vector<SimulatedVci>& vcis);

private:
    HMODULE m_hSim;
};

// Runs dlg modally; driver runs on another thread once the window is up. When the driver
// returns and the dialog still runs, it is cancelled. Returns DoModal's result.
INT_PTR RunDialog(CZanviSelectorDlg& dlg, const std::function<void(HWND)>& driver);

// Polls until condition holds or timeoutMs passed; answers the last result.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// The tree as shown: one line per item in display order, "<text>" for a VCI and
// "  <text> [x]" or "  <text> [ ]" for a link.
std::vector<std::wstring> TreeLines(HWND hTree);
// The item whose text, trimmed, is text under the VCI vci ("" for the VCI item itself).
HTREEITEM FindItem(HWND hTree, const std::wstring& vci, const std::wstring& link);
// Posts a left click on item: on its check box or on its label.
void ClickItem(HWND hTree, HTREEITEM hItem, bool onCheckBox);
// Selects item and presses the space bar on the tree.
void PressSpaceOn(HWND hTree, HTREEITEM hItem);
// Posts a button click to the dialog.
void ClickButton(HWND hDlg, int nId);
// Runs the discovery tick now, on the dialog's thread.
void Tick(HWND hDlg);
std::wstring WindowText(HWND hWnd);
// Gives the dialog's thread time to handle what was posted.
void Settle();

// A hidden top-level window that counts the selector's broadcast messages it receives.
class BroadcastCounter {
public:
    BroadcastCounter();
    ~BroadcastCounter();
    BroadcastCounter(const BroadcastCounter&) = delete;
    BroadcastCounter& operator=(const BroadcastCounter&) = delete;

    // Handles what is still queued for this thread, then answers the counts.
    int Saves();
    int Cancels();

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Pump();

    HWND m_hWnd = nullptr;
    UINT m_uSave, m_uCancel;
    int m_nSaves = 0, m_nCancels = 0;
};
