#include "setup_engine.h"

HDEVINFO g_hDevInfo = INVALID_HANDLE_VALUE;
int g_totalCleanup = 0;

void CSetupEngine::PostProgress(int amount) const
{
    if (m_hWndNotify) PostMessageA(m_hWndNotify, WM_SETUP_PROGRESS, static_cast<WPARAM>(amount), 0);
}

void CSetupEngine::SignalDeviceReady() const
{
    // The event exists only once the installation waits; earlier signals are lost.
    if (m_hDeviceReady) SetEvent(m_hDeviceReady);
}
