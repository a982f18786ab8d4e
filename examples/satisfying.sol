c A solver's output for formula.cnf, competition style.
s SATISFIABLE
v 1 2 -3 0
