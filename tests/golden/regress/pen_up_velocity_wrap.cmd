execute_penselect 1
pu_default 9650 0
pu_default -12000 0
pu_default 24549 -516
pd_default 100 0
pu_default -24549 516
