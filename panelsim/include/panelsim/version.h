#pragma once
namespace panelsim {
const char* Version();
}
