#include "AppModule.h"

HRESULT AppModule::Init(HINSTANCE instance)
{
    instance_ = instance;
    return instance ? S_OK : E_INVALIDARG;
}

void AppModule::Term()
{
    instance_ = nullptr;
}
