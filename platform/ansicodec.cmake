target_sources(korvex_platform PRIVATE AnsiCodec.h AnsiCodec.cpp)
