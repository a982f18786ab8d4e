c --- [ banner ] -------------------------------------------------------------
c 
c CaDiCaL Radically Simplified CDCL SAT Solver
c Copyright (c) 2016-2021 A. Biere, M. Fleury, N. Froleyks
c 
c Version sc2021
c g++-12.2.0
c Nov 14 2022 01:04:19
c 
c --- [ parsing input ] ------------------------------------------------------
c 
c reading DIMACS file from 'queens.cnf'
c opening file to read 'queens.cnf'
c found 'p cnf 64 736' header
c parsed 736 clauses in 0.00 seconds process time
c closing file 'queens.cnf'
c after reading 7565 bytes 0.0 MB
c 
c --- [ options ] ------------------------------------------------------------
c 
c all options are set to their default value
c 
c --- [ solving ] ------------------------------------------------------------
c 
c time measured in process time since initialization
c 
c  seconds  reductions  redundant irredundant
c         MB    restarts       trail    variables
c          level   conflicts       glue     remaining
c 
c *  0.00  3  0 0   0    0    0  0% 0  736  64 100%
c l  0.00  4  0 0   0    0    0  0% 0  736  64 100%
c 1  0.00  4  0 0   0    0    0  0% 0  736  64 100%
c 
c --- [ result ] -------------------------------------------------------------
c 
s SATISFIABLE
v -1 -2 -3 -4 -5 -6 7 -8 -9 -10 11 -12 -13 -14 -15 -16 17 -18 -19 -20 -21 -22
v -23 -24 -25 -26 -27 -28 -29 30 -31 -32 -33 -34 -35 -36 -37 -38 -39 40 -41
v -42 -43 -44 45 -46 -47 -48 -49 50 -51 -52 -53 -54 -55 -56 -57 -58 -59 60 -61
v -62 -63 -64 0
c 
c --- [ run-time profiling ] -------------------------------------------------
c 
c process time taken by individual solving procedures
c (percentage relative to process time for solving)
c 
c         0.00  329.59% parse
c         0.00   28.99% search
c         0.00   27.22% lucky
c         0.00    0.00% simplify
c   =================================
c         0.00   18.09% solve
c 
c last line shows process time for solving
c (percentage relative to total process time)
c 
c --- [ statistics ] ---------------------------------------------------------
c 
c lucky:                         1       100.00 %  of tried
c minimized:                     0         0.00 %  learned literals
c shrunken:                      0         0.00 %  learned literals
c minishrunken:                  0         0.00 %  learned literals
c propagations:                  0         0.00 M  per second
c 
c seconds are measured in process time for solving
c 
c --- [ resources ] ----------------------------------------------------------
c 
c total process time since initialization:         0.00    seconds
c total real time since initialization:            0.00    seconds
c maximum resident set size of process:            3.55    MB
c 
c --- [ shutting down ] ------------------------------------------------------
c 
c exit 10
