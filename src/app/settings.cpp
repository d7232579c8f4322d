#include "app/settings.h"

TSettings Settings;
std::unique_ptr<TStringList> SearchList;
std::unique_ptr<TStringList> ReplaceList;
