# The engine for testing fleets (OpenBench and the like), with nothing but a
# C++17 compiler and make:
#
#   make -j EXE=NAME [CXX=g++|CXX=clang++]
#
# builds the optimised engine as NAME in this folder; `./NAME bench` then runs
# the console's benchmark and ends with the line "N nodes N nps". Developing
# and testing go through the CMake presets (README).

EXE ?= quorvanite

# The platform layer's *_windows.cpp files are for the Windows build (CMake preset "windows").
SOURCES := $(filter-out %_windows.cpp,$(wildcard src/*/*.cpp))
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

# The name and version come from the project line of CMakeLists.txt, as in the CMake build.
PROJECT_LINE := $(shell sed -n 's/^project.\([A-Za-z]*\) VERSION \([0-9.]*\).*/\1 \2/p' CMakeLists.txt)
VERSION_HEADER := $(BUILD_DIR)/generated/frontend/version.h

# Syzygy tablebases where Fathom is installed (Debian: libfathom-dev); without it, none.
HAVE_FATHOM := $(shell printf '\043include <tbprobe.h>\nint main(){}\n' | \
    $(CXX) -x c++ - -lfathom -o /dev/null 2>/dev/null && echo yes)
ifeq ($(HAVE_FATHOM),yes)
  FATHOM_FLAGS := -DQUORVANITE_SYZYGY=1
  FATHOM_LIBS := -lfathom
endif

CXXFLAGS ?= -O3
ALL_CXXFLAGS := -std=c++17 -DNDEBUG -Isrc -I$(BUILD_DIR)/generated -pthread $(FATHOM_FLAGS) \
    $(LTO_FLAGS) $(CXXFLAGS)
ALL_LDFLAGS := -pthread $(CXXFLAGS) $(LTO_LINK_FLAGS) $(LDFLAGS)

.PHONY: all clean
all: $(EXE)

$(EXE): $(OBJECTS)
	$(CXX) $(ALL_LDFLAGS) -o $@ $(OBJECTS) $(FATHOM_LIBS)

$(VERSION_HEADER): src/frontend/version.h.in CMakeLists.txt
	@mkdir -p $(dir $@)
	sed -e 's/@PROJECT_NAME@ @PROJECT_VERSION@/$(PROJECT_LINE)/' $< > $@

$(BUILD_DIR)/%.o: src/%.cpp | $(VERSION_HEADER)
	@mkdir -p $(dir $@)
	$(CXX) $(ALL_CXXFLAGS) -MMD -MP -c $< -o $@

clean:
	rm -rf build/make-*

-include $(OBJECTS:.o=.d)
