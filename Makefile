# The engine for testing fleets (OpenBench and the like), with nothing but a
# C++17 compiler and make:
#
#   make -j EXE=NAME [CXX=g++|CXX=clang++]
#
# builds the optimised engine as NAME in this folder; `./NAME bench` then runs
# the console's benchmark and ends with the line "N nodes N nps". Developing
# and testing go through the CMake presets (README).

EXE ?= quorvanite

SOURCES := $(wildcard src/*/*.cpp)
# One folder of objects per compiler, so that builds with two compilers do not mix.
BUILD_DIR := build/make-$(notdir $(firstword $(CXX)))
OBJECTS := $(SOURCES:src/%.cpp=$(BUILD_DIR)/%.o)

# Link-time optimisation inlines the hot calls between the board, evaluation
# and search files. clang needs the LLVM linker for it: without ld.lld, none.
ifneq (,$(findstring clang,$(shell $(CXX) --version 2>/dev/null)))
  ifneq (,$(shell command -v ld.lld 2>/dev/null))
    LTO_FLAGS := -flto=thin
    LTO_LINK_FLAGS := -flto=thin -fuse-ld=lld
  endif
else
  LTO_FLAGS := -flto=auto
  LTO_LINK_FLAGS := -flto=auto
endif

CXXFLAGS ?= -O3
ALL_CXXFLAGS := -std=c++17 -DNDEBUG -Isrc -pthread $(LTO_FLAGS) $(CXXFLAGS)
ALL_LDFLAGS := -pthread $(CXXFLAGS) $(LTO_LINK_FLAGS) $(LDFLAGS)

.PHONY: all clean
all: $(EXE)

$(EXE): $(OBJECTS)
	$(CXX) $(ALL_LDFLAGS) -o $@ $(OBJECTS)

$(BUILD_DIR)/%.o: src/%.cpp
	@mkdir -p $(dir $@)
	$(CXX) $(ALL_CXXFLAGS) -MMD -MP -c $< -o $@

clean:
	rm -rf build/make-*

-include $(OBJECTS:.o=.d)
