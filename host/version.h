#pragma once

constexpr const char* OrvelleVersion = "0.1.0";
