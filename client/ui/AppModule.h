#pragma once
// The GUI layer's application module: the instance that windows and resources belong to.
#include <windows.h>

class AppModule {
public:
    HRESULT Init(HINSTANCE instance);
    void Term();
    HINSTANCE Instance() const { return instance_; }

private:
    HINSTANCE instance_ = nullptr;
};

extern AppModule g_appModule;
