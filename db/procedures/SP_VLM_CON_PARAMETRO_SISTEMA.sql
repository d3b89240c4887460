-- params: Parametro_Sistema_ID
-- The value of a system parameter. An unknown code answers no row.
SELECT p.PARAMETRO AS PARAMETRO
  FROM PARAMETRO_SISTEMA p
 WHERE p.PARAMETRO_SISTEMA_ID = :Parametro_Sistema_ID;
