// The project's common header, which every project of the Developer Studio has and which the
// generated sources include first.
#pragma once
