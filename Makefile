# The engine for testing fleets (OpenBench and the like), with nothing but a
# C++17 compiler and make:
#
#   make -j EXE=NAME [CXX=g++|CXX=clang++] [PGO=no]
#
# builds the optimised engine as NAME in this folder; `./NAME bench` then runs
# the console's benchmark and ends with the line "N nodes N nps". With GCC, and
# with clang where llvm-profdata is installed, the build is profile-guided: an
# instrumented engine runs that benchmark first and the engine is compiled with
# what it counted; PGO=no builds it plainly. Developing and testing go through
# the CMake presets (README).

EXE ?= quorvanite

# The platform layer's *_windows.cpp files are for the Windows build (CMake preset "windows").
SOURCES := $(filter-out %_windows.cpp,$(wildcard src/*/*.cpp))
# One folder of objects per compiler, so that builds with two compilers do not mix.
BUILD_DIR := build/make-$(notdir $(firstword $(CXX)))
OBJECTS := $(SOURCES:src/%.cpp=$(BUILD_DIR)/%.o)

# Link-time optimisation inlines the hot calls between the board, evaluation
# and search files. clang needs the LLVM linker for it: without ld.lld, none.
COMPILER_VERSION := $(shell $(CXX) --version 2>/dev/null)
ifneq (,$(findstring clang,$(COMPILER_VERSION)))
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

# Profile-guided optimisation: GCC writes each object's counts beside it
# (NAME.gcda) and reads them beside the object of the same name; clang writes
# raw profiles that llvm-profdata of its own version merges into one file.
PGO ?= yes
ifeq ($(PGO),yes)
  ifneq (,$(findstring clang,$(COMPILER_VERSION)))
    PROFDATA := $(shell p=$$($(CXX) -print-prog-name=llvm-profdata); command -v "$$p" 2>/dev/null)
    ifneq (,$(PROFDATA))
      PGO_COMPILER := clang
    endif
  else ifneq (,$(findstring Free Software Foundation,$(COMPILER_VERSION)))
    PGO_COMPILER := gcc
  endif
  ifneq (,$(PGO_COMPILER))
    # The profile runtime must be there (Debian's clang: libclang-rt-N-dev).
    PGO_LINKS := $(shell printf 'int main(){}\n' | \
        $(CXX) -x c++ - -fprofile-generate -o /dev/null 2>/dev/null && echo yes)
  endif
endif

.PHONY: all clean
all: $(EXE)

ifeq ($(PGO_LINKS),yes)
PGO_DIR := $(BUILD_DIR)/pgo
INSTRUMENTED := $(PGO_DIR)/instrumented/quorvanite
INSTRUMENTED_OBJECTS := $(SOURCES:src/%.cpp=$(PGO_DIR)/instrumented/%.o)
PROFILED_OBJECTS := $(SOURCES:src/%.cpp=$(PGO_DIR)/profiled/%.o)
PROFILE_GENERATE := -fprofile-generate
ifeq ($(PGO_COMPILER),gcc)
  # Plain counters: the training searches on one thread (-pthread would make them atomic).
  PROFILE_GENERATE += -fprofile-update=single
  PROFILE := $(PGO_DIR)/profile.stamp
  PROFILE_USE := -fprofile-use -fprofile-correction -fprofile-partial-training -Wno-missing-profile
else
  PROFILE := $(PGO_DIR)/quorvanite.profdata
  PROFILE_USE := -fprofile-use=$(PROFILE) -Wno-profile-instr-unprofiled \
      -Wno-profile-instr-out-of-date
endif

$(EXE): $(PROFILED_OBJECTS)
	$(CXX) $(ALL_LDFLAGS) -o $@ $(PROFILED_OBJECTS) $(FATHOM_LIBS)

$(INSTRUMENTED): $(INSTRUMENTED_OBJECTS)
	$(CXX) $(ALL_LDFLAGS) $(PROFILE_GENERATE) -o $@ $(INSTRUMENTED_OBJECTS) $(FATHOM_LIBS)

# The training run: the benchmark, in the profile's folder (no configuration
# file there), counted afresh.
$(PROFILE): $(INSTRUMENTED)
	find $(PGO_DIR) -name '*.gcda' -delete
	rm -f $(PGO_DIR)/*.profraw
	cd $(PGO_DIR) && LLVM_PROFILE_FILE=$(CURDIR)/$(PGO_DIR)/bench-%p.profraw \
	    ./instrumented/quorvanite bench > bench.log 2>&1 || { cat bench.log; exit 1; }
	@tail -1 $(PGO_DIR)/bench.log
ifeq ($(PGO_COMPILER),gcc)
	cd $(PGO_DIR)/instrumented && for counts in $$(find . -name '*.gcda'); do \
	    mkdir -p ../profiled/$$(dirname $$counts) && cp $$counts ../profiled/$$counts; done
	touch $@
else
	$(PROFDATA) merge -output=$@ $(PGO_DIR)/*.profraw
endif

$(PGO_DIR)/instrumented/%.o: src/%.cpp | $(VERSION_HEADER)
	@mkdir -p $(dir $@)
	$(CXX) $(ALL_CXXFLAGS) $(PROFILE_GENERATE) -MMD -MP -c $< -o $@

$(PGO_DIR)/profiled/%.o: src/%.cpp $(PROFILE) | $(VERSION_HEADER)
	@mkdir -p $(dir $@)
	$(CXX) $(ALL_CXXFLAGS) $(PROFILE_USE) -MMD -MP -c $< -o $@

-include $(INSTRUMENTED_OBJECTS:.o=.d) $(PROFILED_OBJECTS:.o=.d)
else
$(EXE): $(OBJECTS)
	$(CXX) $(ALL_LDFLAGS) -o $@ $(OBJECTS) $(FATHOM_LIBS)

$(BUILD_DIR)/%.o: src/%.cpp | $(VERSION_HEADER)
	@mkdir -p $(dir $@)
	$(CXX) $(ALL_CXXFLAGS) -MMD -MP -c $< -o $@

-include $(OBJECTS:.o=.d)
endif

$(VERSION_HEADER): src/frontend/version.h.in CMakeLists.txt
	@mkdir -p $(dir $@)
	sed -e 's/@PROJECT_NAME@ @PROJECT_VERSION@/$(PROJECT_LINE)/' $< > $@

clean:
	rm -rf build/make-*
